// One playing video: an AVPlayer around one item, the video output frames are pulled from, the
// observers that turn the item's changes into reports to the event listener, and the operations
// the Dart side calls on the player's channels. Main thread only, except the track set-up, which
// runs where the asset's loads complete and shares only the disposed flag with the player.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/ns_key_value_observing.h"
#include "platform/foundation/ns_notification_center.h"
#include "plugins/movie_player_avfoundation/hvp_av_factory.h"
#include "plugins/movie_player_avfoundation/hvp_video_event_listener.h"
#include "plugins/movie_player_avfoundation/video_player_instance_messages.g.h"

namespace movie_player_avfoundation {

class HVPVideoPlayer : public HVPVideoPlayerInstanceApi,
                       public NSKeyValueObserving,
                       public std::enable_shared_from_this<HVPVideoPlayer> {
 public:
  static std::shared_ptr<HVPVideoPlayer> create(std::shared_ptr<HVPAVPlayerItem> item,
                                                std::shared_ptr<HVPAVFactory> avFactory,
                                                std::shared_ptr<HVPViewProvider> viewProvider);
  ~HVPVideoPlayer() override;

  const std::shared_ptr<AVPlayer>& player() const { return player_; }
  bool disposed() const { return disposed_->load(); }
  bool isPlaying() const { return is_playing_; }
  // Run once, at disposal.
  void setOnDisposed(std::function<void()> onDisposed) { on_disposed_ = std::move(onDisposed); }
  // The first listener also installs the observers and hears the item's status at once.
  void setEventListener(std::shared_ptr<HVPVideoEventListener> listener);
  // The asset's duration in milliseconds; 0 without an asset.
  int64_t duration() const;

  Status setLooping(bool looping) override;
  Status setVolume(double volume) override;
  Status setPlaybackSpeed(double speed) override;
  Status play() override;
  int64_t position() override;
  void seekTo(int64_t position, std::function<void(Status)> completion) override;
  Status pause() override;
  Status dispose() override;
  std::vector<HVPMediaSelectionAudioTrackData> getAudioTracks() override;
  Status selectAudioTrackAtIndex(int64_t index) override;
  void getVideoTracks(
      std::function<void(std::optional<HVPNativeVideoTrackData>, Status)> completion) override;
  Status selectVideoTrackWithBitrate(int64_t bitrate) override;
  Status setPreventsDisplaySleepDuringVideoPlayback(bool prevents) override;

  void observeValueForKeyPath(const std::string& keyPath, NSKeyValueObservable& object,
                              const NSKeyValueChangeDictionary& change, void* context) override;

 protected:
  HVPVideoPlayer(std::shared_ptr<HVPAVPlayerItem> item, std::shared_ptr<HVPAVFactory> avFactory,
                 std::shared_ptr<HVPViewProvider> viewProvider);
  // Starts loading the asset's tracks; called once the player is owned by a shared_ptr.
  void loadTracks();
  // Applies the wish to play (and the speed) once the item is ready.
  virtual void updatePlayingState();

  const std::shared_ptr<HVPPixelBufferSource>& pixelBufferSource() const { return pixel_buffer_source_; }
  const std::shared_ptr<HVPViewProvider>& viewProvider() const { return view_provider_; }

 private:
  // Set once, at disposal; the track set-up reads it on the threads where loads complete.
  using DisposedFlag = std::shared_ptr<const std::atomic<bool>>;
  // The set-up holds the asset, the item and the track weakly: a pending load is stored by the
  // object it loads, and a strong capture would keep that object alive for as long as the load
  // stays pending.
  static void setUpTracks(const DisposedFlag& disposed,
                          const std::weak_ptr<HVPAVAsset>& asset,
                          const std::weak_ptr<HVPAVPlayerItem>& item);
  static void setUpComposition(const DisposedFlag& disposed,
                               const std::weak_ptr<HVPAVAsset>& asset,
                               const std::weak_ptr<HVPAVPlayerItem>& item,
                               const std::weak_ptr<AVAssetTrack>& track);

  void updateRate();
  void reportStatusForPlayerItem(AVPlayerItem& item);
  void reportInitialized();
  void sendFailedToLoadVideoEvent();
  void itemDidPlayToEndTime(const NSNotification& notification);
  void removeObservers();

  const std::shared_ptr<std::atomic<bool>> disposed_ = std::make_shared<std::atomic<bool>>(false);
  bool listeners_registered_ = false;
  bool is_looping_ = false;
  bool is_playing_ = false;
  bool is_initialized_ = false;
  std::shared_ptr<HVPAVPlayerItem> item_;
  std::shared_ptr<HVPAVAsset> asset_;
  std::shared_ptr<AVPlayer> player_;
  // The item the observers were installed on.
  std::shared_ptr<AVPlayerItem> observed_item_;
  NSNotificationObserverToken end_observer_;
  std::shared_ptr<HVPVideoEventListener> event_listener_;
  std::function<void()> on_disposed_;
  std::shared_ptr<HVPPixelBufferSource> pixel_buffer_source_;
  std::shared_ptr<HVPViewProvider> view_provider_;
  std::optional<double> target_playback_speed_;
};

}  // namespace movie_player_avfoundation
