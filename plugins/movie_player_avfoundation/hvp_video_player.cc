#include "plugins/movie_player_avfoundation/hvp_video_player.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_process_info.h"
#include "plugins/movie_player_avfoundation/hvp_video_geometry.h"

namespace movie_player_avfoundation {
namespace {

// The observation contexts, one per observed key.
int kLoadedTimeRangesContext;
int kStatusContext;
int kPlaybackLikelyToKeepUpContext;
int kRateContext;

struct ObservedKey {
  const char* key;
  void* context;
};
const ObservedKey kItemKeys[] = {
    {"loadedTimeRanges", &kLoadedTimeRangesContext},
    {"status", &kStatusContext},
    {"playbackLikelyToKeepUp", &kPlaybackLikelyToKeepUpContext},
};

AVOutputSettings outputSettings() {
  return AVOutputSettings{
      {kCVPixelBufferPixelFormatTypeKey, kCVPixelFormatType_32BGRA},
      {kCVPixelBufferIOSurfacePropertiesKey, std::map<std::string, std::any>{}},
      {AVVideoColorPropertiesKey,
       std::map<std::string, std::string>{
           {AVVideoColorPrimariesKey, AVVideoColorPrimaries_ITU_R_709_2},
           {AVVideoTransferFunctionKey, AVVideoTransferFunction_ITU_R_709_2},
           {AVVideoYCbCrMatrixKey, AVVideoYCbCrMatrix_ITU_R_709_2}}},
  };
}

bool isAtLeastMacOS12() {
  return NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({12, 0, 0});
}

FlutterError notFinite(const char* what) {
  return FlutterError{"invalid-argument", std::string(what) + " must be a finite number", nullptr};
}

}  // namespace

std::shared_ptr<HVPVideoPlayer> HVPVideoPlayer::create(std::shared_ptr<HVPAVPlayerItem> item,
                                                       std::shared_ptr<HVPAVFactory> avFactory,
                                                       std::shared_ptr<HVPViewProvider> viewProvider) {
  std::shared_ptr<HVPVideoPlayer> player(
      new HVPVideoPlayer(std::move(item), std::move(avFactory), std::move(viewProvider)));
  player->loadTracks();
  return player;
}

HVPVideoPlayer::HVPVideoPlayer(std::shared_ptr<HVPAVPlayerItem> item,
                               std::shared_ptr<HVPAVFactory> avFactory,
                               std::shared_ptr<HVPViewProvider> viewProvider)
    : item_(std::move(item)), view_provider_(std::move(viewProvider)) {
  asset_ = item_->asset();
  player_ = avFactory->playerWithPlayerItem(item_);
  // The player neither advances nor pauses at the end: looping seeks back, completion reports.
  player_->setActionAtItemEnd(AVPlayerActionAtItemEndNone);
  pixel_buffer_source_ = avFactory->videoOutputWithOutputSettings(outputSettings());
}

HVPVideoPlayer::~HVPVideoPlayer() {
  if (listeners_registered_ && !disposed()) removeObservers();
  if (end_observer_) NSNotificationCenter::defaultCenter()->removeObserver(end_observer_);
}

void HVPVideoPlayer::loadTracks() {
  asset_->loadValuesAsynchronouslyForKeys(
      {"tracks"}, [disposed = DisposedFlag(disposed_), asset = std::weak_ptr<HVPAVAsset>(asset_),
                   item = std::weak_ptr<HVPAVPlayerItem>(item_)] {
        setUpTracks(disposed, asset, item);
      });
}

void HVPVideoPlayer::setUpTracks(const DisposedFlag& disposed,
                                 const std::weak_ptr<HVPAVAsset>& weakAsset,
                                 const std::weak_ptr<HVPAVPlayerItem>& item) {
  auto asset = weakAsset.lock();
  if (!asset || disposed->load()) return;
  if (asset->statusOfValueForKey("tracks", nullptr) != AVKeyValueStatusLoaded) return;
  auto withTracks = [disposed, weakAsset,
                     item](const std::vector<std::shared_ptr<AVAssetTrack>>& tracks) {
    if (tracks.empty()) return;
    std::weak_ptr<AVAssetTrack> track = tracks.front();
    tracks.front()->loadValuesAsynchronouslyForKeys(
        {"preferredTransform"},
        [disposed, weakAsset, item, track] { setUpComposition(disposed, weakAsset, item, track); });
  };
  if (!isAtLeastMacOS12()) {
    withTracks(asset->tracksWithMediaType(AVMediaTypeVideo));
    return;
  }
  asset->loadTracksWithMediaType(
      AVMediaTypeVideo,
      [withTracks](std::optional<std::vector<std::shared_ptr<AVAssetTrack>>> tracks,
                   std::optional<NSError> error) {
        if (error) {
          NSLog("Error loading tracks: %s", error->description().c_str());
          return;
        }
        if (tracks) withTracks(*tracks);
      });
}

void HVPVideoPlayer::setUpComposition(const DisposedFlag& disposed,
                                      const std::weak_ptr<HVPAVAsset>& weakAsset,
                                      const std::weak_ptr<HVPAVPlayerItem>& weakItem,
                                      const std::weak_ptr<AVAssetTrack>& weakTrack) {
  if (disposed->load()) return;
  auto asset = weakAsset.lock();
  auto item = weakItem.lock();
  auto track = weakTrack.lock();
  if (!asset || !item || !track) return;
  if (track->statusOfValueForKey("preferredTransform", nullptr) != AVKeyValueStatusLoaded) return;
  CGAffineTransform transform =
      HVPNormalizedTransform(track->preferredTransform(), track->naturalSize());
  if (CGAffineTransformIsIdentity(transform)) return;
  item->setVideoComposition(HVPVideoCompositionWithTransform(transform, asset->duration(), track.get()));
}

void HVPVideoPlayer::setEventListener(std::shared_ptr<HVPVideoEventListener> listener) {
  event_listener_ = std::move(listener);
  if (!event_listener_ || listeners_registered_) return;
  auto item = player_->currentItem();
  if (!item) return;
  reportStatusForPlayerItem(*item);
  auto self = shared_from_this();
  for (const auto& observed : kItemKeys) {
    item->addObserver(self, observed.key, NSKeyValueObservingOptionNew, observed.context);
  }
  player_->addObserver(self, "rate", NSKeyValueObservingOptionNew, &kRateContext);
  end_observer_ = NSNotificationCenter::defaultCenter()->addObserverForName(
      AVPlayerItemDidPlayToEndTimeNotification, item.get(), nullptr,
      [weak = weak_from_this()](const NSNotification& notification) {
        if (auto player = weak.lock()) player->itemDidPlayToEndTime(notification);
      });
  observed_item_ = std::move(item);
  listeners_registered_ = true;
}

void HVPVideoPlayer::removeObservers() {
  if (observed_item_) {
    for (const auto& observed : kItemKeys) {
      observed_item_->removeObserver(this, observed.key, observed.context);
    }
  }
  player_->removeObserver(this, "rate", &kRateContext);
}

void HVPVideoPlayer::observeValueForKeyPath(const std::string& /*keyPath*/,
                                            NSKeyValueObservable& object,
                                            const NSKeyValueChangeDictionary& /*change*/,
                                            void* context) {
  if (!event_listener_) return;
  if (context == &kLoadedTimeRangesContext) {
    auto* item = dynamic_cast<AVPlayerItem*>(&object);
    if (item == nullptr) return;
    std::vector<std::vector<int64_t>> regions;
    for (const auto& range : item->loadedTimeRanges()) {
      regions.push_back({HVPMillisFromTime(range.start), HVPMillisFromTime(range.duration)});
    }
    event_listener_->videoPlayerDidUpdateBufferRegions(regions);
  } else if (context == &kStatusContext) {
    if (auto* item = dynamic_cast<AVPlayerItem*>(&object)) reportStatusForPlayerItem(*item);
  } else if (context == &kPlaybackLikelyToKeepUpContext) {
    updatePlayingState();
    auto item = player_->currentItem();
    if (item && item->isPlaybackLikelyToKeepUp()) {
      event_listener_->videoPlayerDidEndBuffering();
    } else {
      event_listener_->videoPlayerDidStartBuffering();
    }
  } else if (context == &kRateContext) {
    if (auto* player = dynamic_cast<AVPlayer*>(&object)) {
      event_listener_->videoPlayerDidSetPlaying(player->rate() > 0.0f);
    }
  }
}

void HVPVideoPlayer::reportStatusForPlayerItem(AVPlayerItem& item) {
  // Only ever called with a listener; without one there is nobody to tell.
  if (!event_listener_) return;
  switch (item.status()) {
    case AVPlayerItemStatusReadyToPlay:
      if (is_initialized_) return;
      item.addOutput(pixel_buffer_source_->videoOutput());
      reportInitialized();
      updatePlayingState();
      break;
    case AVPlayerItemStatusFailed:
      sendFailedToLoadVideoEvent();
      break;
    case AVPlayerItemStatusUnknown:
      break;
  }
}

void HVPVideoPlayer::reportInitialized() {
  auto item = player_->currentItem();
  if (!item || item->status() != AVPlayerItemStatusReadyToPlay || is_initialized_) return;
  is_initialized_ = true;
  event_listener_->videoPlayerDidInitializeWithDuration(duration(), item->presentationSize());
}

void HVPVideoPlayer::sendFailedToLoadVideoEvent() {
  auto item = player_->currentItem();
  std::optional<NSError> error;
  NSError tracksError;
  if (asset_->statusOfValueForKey("tracks", &tracksError) == AVKeyValueStatusFailed) {
    error = tracksError;
  } else if (item) {
    error = item->error();
  }
  // An ordered set of the texts: duplicates are dropped, the first kept.
  std::vector<std::string> texts = {"Failed to load video"};
  auto add = [&texts](const std::string& text) {
    if (!text.empty() && std::find(texts.begin(), texts.end(), text) == texts.end()) {
      texts.push_back(text);
    }
  };
  if (error) {
    add(error->localizedDescription);
    if (error->localizedFailureReason) add(*error->localizedFailureReason);
    if (const auto& underlying = error->underlyingError) {
      add(underlying->localizedDescription);
      if (underlying->localizedFailureReason) add(*underlying->localizedFailureReason);
    }
  }
  std::string message;
  for (const auto& text : texts) message += (message.empty() ? "" : ": ") + text;
  event_listener_->videoPlayerDidErrorWithMessage(message);
}

void HVPVideoPlayer::itemDidPlayToEndTime(const NSNotification& notification) {
  if (is_looping_) {
    if (auto item = std::static_pointer_cast<AVPlayerItem>(notification.object)) {
      item->seekToTime(kCMTimeZero, nullptr);
    }
  } else if (event_listener_) {
    event_listener_->videoPlayerDidComplete();
  }
}

void HVPVideoPlayer::updatePlayingState() {
  if (!is_initialized_) return;
  if (!is_playing_) {
    player_->pause();
  } else if (target_playback_speed_) {
    updateRate();
  } else {
    player_->play();
  }
}

void HVPVideoPlayer::updateRate() {
  // Narrowed with saturation: a speed beyond single precision must not overflow to infinity.
  constexpr double kLargestFloat = std::numeric_limits<float>::max();
  float speed =
      static_cast<float>(std::clamp(*target_playback_speed_, -kLargestFloat, kLargestFloat));
  auto item = player_->currentItem();
  bool ready = item && item->status() == AVPlayerItemStatusReadyToPlay;
  if (speed > 2.0f && !(item && item->canPlayFastForward())) {
    if (!ready) return;
    speed = 2.0f;
  }
  if (speed < 1.0f && !(item && item->canPlaySlowForward())) {
    if (!ready) return;
    speed = 1.0f;
  }
  player_->setRate(speed);
}

int64_t HVPVideoPlayer::duration() const {
  auto item = player_->currentItem();
  if (!item || !item->asset()) return 0;
  return HVPMillisFromTime(item->asset()->duration());
}

HVPVideoPlayer::Status HVPVideoPlayer::setLooping(bool looping) {
  is_looping_ = looping;
  return std::nullopt;
}

HVPVideoPlayer::Status HVPVideoPlayer::setVolume(double volume) {
  if (!std::isfinite(volume)) return notFinite("volume");
  player_->setVolume(static_cast<float>(std::clamp(volume, 0.0, 1.0)));
  return std::nullopt;
}

HVPVideoPlayer::Status HVPVideoPlayer::setPlaybackSpeed(double speed) {
  if (!std::isfinite(speed)) return notFinite("speed");
  target_playback_speed_ = speed;
  updatePlayingState();
  return std::nullopt;
}

HVPVideoPlayer::Status HVPVideoPlayer::play() {
  is_playing_ = true;
  updatePlayingState();
  return std::nullopt;
}

HVPVideoPlayer::Status HVPVideoPlayer::pause() {
  is_playing_ = false;
  updatePlayingState();
  return std::nullopt;
}

int64_t HVPVideoPlayer::position() {
  return player_ ? HVPMillisFromTime(player_->currentTime()) : 0;
}

void HVPVideoPlayer::seekTo(int64_t position, std::function<void(Status)> completion) {
  CMTime target = CMTimeMake(position, 1000);
  // The end itself is reached within a millisecond either side.
  CMTime tolerance = position == duration() ? CMTimeMake(1, 1000) : kCMTimeZero;
  player_->seekToTime(target, tolerance, tolerance, [completion = std::move(completion)](bool) {
    if (completion) completion(std::nullopt);
  });
}

HVPVideoPlayer::Status HVPVideoPlayer::setPreventsDisplaySleepDuringVideoPlayback(bool prevents) {
  player_->setPreventsDisplaySleepDuringVideoPlayback(prevents);
  return std::nullopt;
}

HVPVideoPlayer::Status HVPVideoPlayer::dispose() {
  if (disposed_->exchange(true)) return std::nullopt;
  // The hook may drop the last outside reference to this player.
  auto self = shared_from_this();
  if (listeners_registered_) {
    if (end_observer_) NSNotificationCenter::defaultCenter()->removeObserver(end_observer_);
    end_observer_.reset();
    removeObservers();
  }
  // Loads still pending would answer nobody and hold what they captured: cancelling them
  // answers the calls that wait on them (a track list, for one) now.
  if (auto item = player_->currentItem()) {
    if (item->asset()) item->asset()->cancelLoading();
    // Whoever still holds the item, its output decodes no more: the file and decoder go now.
    if (auto output = pixel_buffer_source_ ? pixel_buffer_source_->videoOutput() : nullptr) {
      item->removeOutput(output.get());
    }
  }
  player_->replaceCurrentItemWithItem(nullptr);
  if (auto onDisposed = std::move(on_disposed_)) {
    on_disposed_ = nullptr;
    onDisposed();
  }
  if (event_listener_) event_listener_->videoPlayerWasDisposed();
  return std::nullopt;
}

}  // namespace movie_player_avfoundation
