// One audio player addressed by the Dart side's id: its method channel, its playback-event and
// data channels, the source tree it plays and the queue player that plays it. Everything runs on
// the main thread, where calls, observations and notifications arrive.
//
// The implementation is split by concern: audio_player.cc (creation, disposal, the method table),
// audio_player_queue.cc (loading, play order, the engine's queue), audio_player_edits.cc (edits of
// concatenating sources), audio_player_transport.cc (play, pause, setters, seeking, observations)
// and audio_player_events.cc (events, queries, errors, stream metadata).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/avfoundation.h"
#include "platform/flutter/flutter_method_channel.h"
#include "platform/flutter/flutter_plugin.h"
#include "platform/foundation/ns_key_value_observing.h"
#include "platform/foundation/ns_notification_center.h"
#include "plugins/playlist_audio/audio_arguments.h"
#include "plugins/playlist_audio/audio_source.h"
#include "plugins/playlist_audio/better_event_channel.h"
#include "plugins/playlist_audio/indexed_audio_source.h"
#include "plugins/playlist_audio/load_control.h"

namespace playlist_audio {

inline constexpr const char* kPlayerMethodChannelPrefix = "com.quillmark.playlist_audio.methods.";
inline constexpr const char* kPlayerEventChannelPrefix = "com.quillmark.playlist_audio.events.";
inline constexpr const char* kPlayerDataChannelPrefix = "com.quillmark.playlist_audio.data.";

enum class ProcessingState : int32_t {
  idle = 0,
  loading = 1,
  buffering = 2,
  ready = 3,
  completed = 4
};
enum LoopMode : int32_t { kLoopOff = 0, kLoopOne = 1, kLoopAll = 2 };

class ConcatenatingAudioSource;

class AudioPlayer : public NSKeyValueObserving,
                    public AVPlayerItemMetadataOutputPushDelegate,
                    public std::enable_shared_from_this<AudioPlayer> {
 public:
  // Takes the registrar's messenger: registrars are not kept past registration.
  static std::shared_ptr<AudioPlayer> create(std::shared_ptr<FlutterBinaryMessenger> messenger,
                                             const std::string& playerId,
                                             const flutter::Value& loadConfiguration);
  ~AudioPlayer() override;

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result);
  // Tears the player down; `silently` suppresses the final playback event. Pending "load" and
  // "play" calls are answered. A second disposal does nothing.
  void dispose(bool silently);

  void observeValueForKeyPath(const std::string& keyPath, NSKeyValueObservable& object,
                              const NSKeyValueChangeDictionary& change, void* context) override;
  void metadataOutput(AVPlayerItemMetadataOutput& output,
                      const std::vector<AVTimedMetadataGroup>& groups,
                      const AVPlayerItemTrack* track) override;

 private:
  using SeekCompletion = IndexedAudioSource::SeekCompletion;
  struct ObservedItem {
    std::shared_ptr<AVPlayerItem> item;
    std::vector<NSNotificationObserverToken> tokens;
  };

  AudioPlayer(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
              const std::string& playerId);
  void configureLoadControl(const flutter::Value& loadConfiguration);

  // Method handlers (audio_player.cc).
  void handleLoad(const AudioArguments& arguments, const FlutterResult& result);
  void handlePlay(const AudioArguments& arguments, const FlutterResult& result);
  void handlePause(const AudioArguments& arguments, const FlutterResult& result);
  void handleSetVolume(const AudioArguments& arguments, const FlutterResult& result);
  void handleIgnored(const AudioArguments& arguments, const FlutterResult& result);
  void handleSetSpeed(const AudioArguments& arguments, const FlutterResult& result);
  void handleSetLoopMode(const AudioArguments& arguments, const FlutterResult& result);
  void handleSetShuffleMode(const AudioArguments& arguments, const FlutterResult& result);
  void handleSetShuffleOrder(const AudioArguments& arguments, const FlutterResult& result);
  void handleSetAutomaticallyWaits(const AudioArguments& arguments, const FlutterResult& result);
  void handleSetCanUseNetwork(const AudioArguments& arguments, const FlutterResult& result);
  void handleSetPreferredPeakBitRate(const AudioArguments& arguments, const FlutterResult& result);
  void handleSetAllowsExternalPlayback(const AudioArguments& arguments,
                                       const FlutterResult& result);
  void handleSeek(const AudioArguments& arguments, const FlutterResult& result);
  void handleInsertAll(const AudioArguments& arguments, const FlutterResult& result);
  void handleRemoveRange(const AudioArguments& arguments, const FlutterResult& result);
  void handleMove(const AudioArguments& arguments, const FlutterResult& result);

  // Queue (audio_player_queue.cc).
  void load(const flutter::Value& source, CMTime initialPosition,
            std::optional<int64_t> initialIndex, FlutterResult result);
  std::shared_ptr<AudioSource> newRoot(const flutter::Value& source) const;
  // Answers a pending load when nothing is left to wait for; true when it did.
  bool answerLoadIfSettled();
  void createEngine();
  void updateOrder();
  // The engine's queue anew from leaf `index`; `index_` becomes it.
  void enqueueFrom(int index);
  void buildQueueFrom(int index);
  void appendFromStart(const IndexedAudioSource& leaf,
                       const std::shared_ptr<IndexedPlayerItem>& item);
  void updateEndAction();
  int indexForItem(const AVPlayerItem* item) const;
  // Observes the leaf's items and links them back to it.
  void adoptLeafItems(const std::shared_ptr<IndexedAudioSource>& leaf);
  void addItemObservers(const std::shared_ptr<IndexedPlayerItem>& item);
  void removeItemObservers(const std::shared_ptr<IndexedPlayerItem>& item);
  void removeLeafObservers(const IndexedAudioSource& leaf);
  void onComplete(const NSNotification& notification);
  void currentItemChanged(const std::shared_ptr<AVPlayerItem>& item);
  void setLoopMode(int32_t mode);
  void setShuffleModeEnabled(bool enabled);
  void setShuffleOrder(const flutter::Value& source);
  // The queue anew from the current leaf; a load that no longer waits is answered, with an event.
  void replanQueue();

  // Edits (audio_player_edits.cc).
  // The concatenating nodes named `sourceId`, once the edit `fits` each of them (it is given the
  // node's child count); raises, before anything changes, when it does not.
  std::vector<std::shared_ptr<ConcatenatingAudioSource>> nodesToEdit(
      const std::string& sourceId, const std::function<bool(int count)>& fits) const;
  // The leaves and the play order taken anew from the tree.
  void rebuildSequence();
  int currentItemIndex() const;
  // After an edit: the queue from leaf `index`, new leaves attached, a load that no longer waits
  // answered, and an event.
  void requeueAfterEdit(int index);
  void concatenatingInsertAll(const std::string& sourceId, int64_t index,
                              const flutter::ValueList& children, std::vector<int> shuffleOrder);
  void concatenatingRemoveRange(const std::string& sourceId, int64_t start, int64_t end,
                                std::vector<int> shuffleOrder);
  void concatenatingMove(const std::string& sourceId, int64_t from, int64_t to,
                         std::vector<int> shuffleOrder);

  // Transport (audio_player_transport.cc).
  void play(FlutterResult result);
  void pause();
  void complete();
  void setVolume(float volume);
  void setSpeed(float speed);
  void setAutomaticallyWaitsToMinimizeStalling(bool waits);
  void setAllowsExternalPlayback(bool allows);
  void setCanUseNetworkResourcesForLiveStreamingWhilePaused(bool can);
  void setPreferredPeakBitRate(std::optional<flutter::Value> bitRate);
  void seek(CMTime position, std::optional<int64_t> index, SeekCompletion completion);
  // The completion of the seek just started: while it is still the newest seek (no later seek or
  // load superseded it) it settles the state with `settle`; in any case it answers the call.
  SeekCompletion settleWhenSeekEnds(void (AudioPlayer::*settle)(), SeekCompletion completion);
  void settleSeekOnSameLeaf();
  void settleSeekOnOtherLeaf();
  void resumeIfPlaying();
  void enterBuffering();
  void leaveBuffering();
  // Buffering while `item` (the current one, or none) has nothing buffered, else ready.
  void followBufferOf(const AVPlayerItem* item);
  void updatePosition();
  void onItemStatusChanged(AVPlayerItem& item, const NSKeyValueChangeDictionary& change);
  void onItemBufferChanged(AVPlayerItem& item);
  void onTimeControlStatusChanged(const NSKeyValueChangeDictionary& change);
  void onLoadedTimeRangesChanged(AVPlayerItem& item);

  // Events and queries (audio_player_events.cc).
  void broadcastPlaybackEvent();
  int32_t getCurrentPosition() const;
  int32_t getBufferedPosition() const;
  int32_t getDuration() const;
  int64_t getDurationMicroseconds() const;
  // Returns the error it sent.
  FlutterError sendError(int64_t code, const std::string& message,
                         const std::shared_ptr<AVPlayerItem>& item, bool switchToIdle);
  // The current item failed: error and idle events, the queue emptied, and a pending "load" (for
  // this item) and "play" answered with the failure.
  void sendErrorForItem(const std::shared_ptr<AVPlayerItem>& item);
  void abortExistingConnection(bool switchToIdle);
  void answerPendingLoad(const FlutterError& error);
  // Answers a pending load with the current duration.
  void answerPendingLoad();
  void answerPendingPlay();
  bool isCurrentItem(const AVPlayerItem& item) const;
  std::shared_ptr<IndexedAudioSource> currentLeaf() const;

  std::shared_ptr<FlutterMethodChannel> method_channel_;
  std::shared_ptr<BetterEventChannel> event_channel_;
  std::shared_ptr<BetterEventChannel> data_event_channel_;
  std::shared_ptr<AVQueuePlayer> player_;
  std::shared_ptr<AudioSource> audio_source_;
  AudioSource::Sequence indexed_audio_sources_;
  std::vector<int> order_;
  std::vector<int> order_inv_;
  int index_ = 0;
  ProcessingState processing_state_ = ProcessingState::idle;
  int32_t loop_mode_ = kLoopOff;
  bool shuffle_mode_enabled_ = false;
  int64_t update_time_ = 0;
  int32_t update_position_ = 0;
  int32_t buffered_position_ = 0;
  bool buffer_unconfirmed_ = false;
  CMTime seek_pos_ = kCMTimeInvalid;
  // Counts seeks and loads: a seek's completion settles the state only while it is the newest.
  uint64_t seek_generation_ = 0;
  std::optional<FlutterResult> load_result_;
  // The item the pending load waits for; a seek may move play off it before it settles.
  std::weak_ptr<AVPlayerItem> load_item_;
  std::optional<FlutterResult> play_result_;
  bool automatically_waits_to_minimize_stalling_ = true;
  bool allows_external_playback_ = false;
  std::shared_ptr<LoadControl> load_control_;
  bool playing_ = false;
  float speed_ = 1.0f;
  float volume_ = 1.0f;
  bool just_advanced_ = false;
  bool enqueued_all_ = false;
  flutter::Value icy_metadata_ = flutter::ValueMap{};
  flutter::Value error_code_;
  flutter::Value error_message_;
  std::map<const AVPlayerItem*, ObservedItem> observed_items_;
  // Queue builds in progress, and whether a failed item became current during one.
  int queue_builds_ = 0;
  bool current_failed_while_building_ = false;
  bool disposed_ = false;
};

}  // namespace playlist_audio
