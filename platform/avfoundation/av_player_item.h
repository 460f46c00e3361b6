// A player item: the presentation state of one asset (status, timing, buffering, the ranges
// loaded and seekable) and its outputs. Every property an observer may watch changes with
// key-value observation on the main thread; seeks complete on the main queue, a seek that a newer
// seek or a cancellation supersedes completes with finished = false. The current time, the video
// composition and the outputs' view of the item may be read from any thread.
#pragma once

#include <any>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_media_selection.h"
#include "platform/avfoundation/av_player_item_output.h"
#include "platform/avfoundation/av_url_asset.h"
#include "platform/avfoundation/av_video_composition.h"
#include "platform/avfoundation/cm_time_range.h"
#include "platform/coregraphics/cg_geometry.h"
#include "platform/foundation/ns_error.h"
#include "platform/foundation/ns_key_value_observing.h"

namespace avfoundation::internal {
class ItemClock;
class MediaAudioSink;
struct LibraryAccess;
}  // namespace avfoundation::internal

enum AVPlayerItemStatus : long {
  AVPlayerItemStatusUnknown = 0,
  AVPlayerItemStatusReadyToPlay = 1,
  AVPlayerItemStatusFailed = 2,
};

inline constexpr const char* AVAudioTimePitchAlgorithmTimeDomain = "TimeDomain";
inline constexpr const char* AVAudioTimePitchAlgorithmSpectral = "Spectral";

class AVPlayerItem : public NSKeyValueObservable, public std::enable_shared_from_this<AVPlayerItem> {
 public:
  using SeekCompletion = std::function<void(bool finished)>;

  static std::shared_ptr<AVPlayerItem> playerItemWithAsset(std::shared_ptr<AVURLAsset> asset);
  // initWithAsset:
  explicit AVPlayerItem(std::shared_ptr<AVURLAsset> asset);
  ~AVPlayerItem() override;

  const std::shared_ptr<AVURLAsset>& asset() const { return asset_; }

  // Observable under their names: "status", "duration", "loadedTimeRanges",
  // "seekableTimeRanges", "playbackBufferEmpty", "playbackBufferFull", "playbackLikelyToKeepUp".
  AVPlayerItemStatus status() const { return status_; }
  const std::optional<NSError>& error() const { return error_; }
  CMTime duration() const { return duration_; }
  CMTime currentTime() const;
  const std::vector<CMTimeRange>& loadedTimeRanges() const { return loaded_ranges_; }
  const std::vector<CMTimeRange>& seekableTimeRanges() const { return seekable_ranges_; }
  bool isPlaybackBufferEmpty() const { return buffer_empty_; }
  bool isPlaybackBufferFull() const { return buffer_full_; }
  bool isPlaybackLikelyToKeepUp() const { return likely_to_keep_up_; }
  bool canPlayFastForward() const { return can_play_fast_forward_; }
  bool canPlaySlowForward() const { return can_play_slow_forward_; }
  // The size of the item's video as presented; zero until known.
  CGSize presentationSize() const { return presentation_size_; }

  std::optional<AVMutableVideoComposition> videoComposition() const;
  void setVideoComposition(std::optional<AVMutableVideoComposition> composition);

  const AVMediaSelection& currentMediaSelection() const { return media_selection_; }
  void selectMediaOption(std::shared_ptr<const AVMediaSelectionOption> option,
                         const AVMediaSelectionGroup& group) {
    media_selection_.select(group, std::move(option));
  }

  // Where playing forward ends, before the item's own end: the end notification comes there, and
  // the time stays there. Invalid (the default) plays to the item's end.
  CMTime forwardPlaybackEndTime() const { return forward_end_; }
  void setForwardPlaybackEndTime(CMTime time);
  double preferredForwardBufferDuration() const { return forward_buffer_duration_; }
  void setPreferredForwardBufferDuration(double seconds) { forward_buffer_duration_ = seconds; }
  bool canUseNetworkResourcesForLiveStreamingWhilePaused() const { return network_while_paused_; }
  void setCanUseNetworkResourcesForLiveStreamingWhilePaused(bool can) {
    network_while_paused_ = can;
  }
  double preferredPeakBitRate() const { return peak_bit_rate_; }
  void setPreferredPeakBitRate(double bitsPerSecond) { peak_bit_rate_ = bitsPerSecond; }
  const std::string& audioTimePitchAlgorithm() const { return pitch_algorithm_; }
  void setAudioTimePitchAlgorithm(std::string algorithm) { pitch_algorithm_ = std::move(algorithm); }

  const std::vector<std::shared_ptr<AVPlayerItemOutput>>& outputs() const { return outputs_; }
  void addOutput(std::shared_ptr<AVPlayerItemOutput> output);
  void removeOutput(const AVPlayerItemOutput* output);

  // The rate at which the item's time moves against the host clock: the player's rate while it
  // plays the item, 0 otherwise. Read from any thread. A library-backed item's current time
  // runs on the host clock at this rate, up to its end.
  float timebaseRate() const;
  // The item time at a host time (CACurrentMediaTime's scale): the current time moved on by the
  // timebase rate; the invalid time when the current time is not numeric.
  CMTime itemTimeForHostTime(double hostTimeInSeconds) const;

  // Moves the playback position within the tolerances (the stand-in keeps them with the pending
  // seek and lands on the time exactly, kept within 0 and a known duration). A null completion is
  // allowed.
  void seekToTime(CMTime time, CMTime toleranceBefore, CMTime toleranceAfter,
                  SeekCompletion completion);
  void seekToTime(CMTime time, SeekCompletion completion);
  // Completes a pending seek with finished = false.
  void cancelPendingSeeks();

  std::any valueForKey(const std::string& key) const override;

 private:
  friend struct AVPlayerItemModel;
  friend struct avfoundation::internal::LibraryAccess;
  friend class AVPlayer;
  // Re-anchors the item's clock: the time so far is kept, the rate changes from now on.
  void setTimebaseRate(float rate);
  void setPlaybackVolume(float volume);
  // For a library-backed asset: asks it once for its probe, and becomes ready or failed on the
  // main queue when that ends. Nothing for the model.
  void loadFromLibraryIfBacked();
  void applyLibraryLoad();
  // A player shows the item from now on (true) or no longer (false). A library-backed item plays
  // its audio only while some player shows it: one that played and moved on holds no file and no
  // decoder.
  void shownByPlayer(bool shown);
  void updateAudioSink();
  // While the clock runs, the end is due at the item's end (its duration, or for a file of
  // unknown length the end its decoders found): the end notification, then the end action of
  // the player showing the item.
  void scheduleEnd();
  void reachEndIfDue(uint64_t generation, bool alreadyPast);
  // The earlier of the clock's end and the forward playback end time; not numeric until known.
  CMTime playbackEnd() const;
  struct PendingSeek {
    CMTime time;
    CMTime toleranceBefore;
    CMTime toleranceAfter;
    SeekCompletion completion;
    uint64_t generation;
  };
  void finishSeek(bool finished);
  void setCurrentTime(CMTime time);
  template <typename T>
  void change(const char* key, T& field, T value) {
    willChangeValueForKey(key);
    field = std::move(value);
    didChangeValueForKey(key);
  }

  std::shared_ptr<AVURLAsset> asset_;
  AVPlayerItemStatus status_ = AVPlayerItemStatusUnknown;
  std::optional<NSError> error_;
  CMTime duration_ = kCMTimeIndefinite;
  mutable std::mutex shared_mutex_;  // guards composition_
  const std::shared_ptr<avfoundation::internal::ItemClock> clock_;
  std::optional<AVMutableVideoComposition> composition_;
  bool likely_to_keep_up_ = false;
  bool can_play_fast_forward_ = true;
  bool can_play_slow_forward_ = true;
  CGSize presentation_size_;
  AVMediaSelection media_selection_;
  std::vector<CMTimeRange> loaded_ranges_;
  std::vector<CMTimeRange> seekable_ranges_;
  bool buffer_empty_ = true;
  bool buffer_full_ = false;
  CMTime forward_end_ = kCMTimeInvalid;
  double forward_buffer_duration_ = 0;
  bool network_while_paused_ = false;
  double peak_bit_rate_ = 0;
  std::string pitch_algorithm_ = AVAudioTimePitchAlgorithmSpectral;
  std::vector<std::shared_ptr<AVPlayerItemOutput>> outputs_;
  bool library_load_started_ = false;
  // A library-backed item's audio, played into no device while the item lives.
  std::shared_ptr<avfoundation::internal::MediaAudioSink> audio_sink_;
  int shown_by_players_ = 0;
  uint64_t end_generation_ = 0;
  std::optional<PendingSeek> pending_seek_;
  uint64_t seek_generation_ = 0;
  // Tests hold seeks to complete them by hand.
  static std::atomic<bool> seeks_held_;
};
