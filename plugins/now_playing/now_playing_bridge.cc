#include "plugins/now_playing/now_playing_bridge.h"

#include "platform/mediaplayer/mp_media_item_property.h"
#include "platform/dispatch/dispatch_queue.h"
#include "platform/mediaplayer/ns_image.h"

namespace now_playing {
namespace {

std::optional<MPNowPlayingInfoValue> stringValue(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return MPNowPlayingInfoValue(*text);
}

std::shared_ptr<MPMediaItemArtwork> artworkFromFile(const std::string& path) {
  auto image = mediaplayer::NSImage::initWithContentsOfFile(path);
  if (!image) return nullptr;
  return std::make_shared<MPMediaItemArtwork>(image->size(), [image](CGSize) { return image; });
}

}  // namespace

NowPlayingBridge::NowPlayingBridge(std::shared_ptr<FlutterMethodChannel> handlerChannel)
    : handler_channel_(std::move(handlerChannel)) {}

void NowPlayingBridge::configure(const SkipIntervals& intervals) {
  std::lock_guard lock(mutex_);
  intervals_ = intervals;
}

void NowPlayingBridge::setState(const PlaybackState& state) {
  std::lock_guard lock(mutex_);
  actions_ = state.actions;
  const bool was_playing = playing_;
  const double old_speed = speed_.value_or(0);
  const int64_t old_position = position_;
  playing_ = state.playing;
  position_ = state.position;
  speed_ = state.speed;
  if (playing_ && !command_center_) activateCommandCenter();
  updateControls();
  if (playing_ != was_playing || speed_.value_or(0) != old_speed || position_ != old_position) {
    updateNowPlayingInfo();
  }
}

void NowPlayingBridge::setMediaItem(std::optional<MediaItem> item, std::function<void()> done) {
  std::optional<std::string> artworkFile;
  uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    media_item_ = std::move(item);
    artwork_ = nullptr;
    generation = ++media_item_generation_;
    if (media_item_) artworkFile = media_item_->artworkFile;
    if (!artworkFile) updateNowPlayingInfo();
  }
  if (!artworkFile) {
    done();
    return;
  }
  // An image file is the caller's to choose, and may be slow to read: never on the main thread.
  // Only the latest item's art can be shown, so a read superseded before it starts is skipped.
  artwork_queue_->async([weak = weak_from_this(), path = std::move(*artworkFile), generation,
                         done = std::move(done)]() mutable {
    std::shared_ptr<MPMediaItemArtwork> artwork;
    if (auto self = weak.lock(); self && self->isLatestItem(generation)) {
      artwork = artworkFromFile(path);
    }
    dispatch_get_main_queue()->async(
        [weak, artwork = std::move(artwork), generation, done = std::move(done)] {
          if (auto self = weak.lock()) self->applyArtwork(generation, artwork);
          done();
        });
  });
}

bool NowPlayingBridge::isLatestItem(uint64_t generation) {
  std::lock_guard lock(mutex_);
  return generation == media_item_generation_;
}

void NowPlayingBridge::applyArtwork(uint64_t generation,
                                    const std::shared_ptr<MPMediaItemArtwork>& artwork) {
  std::lock_guard lock(mutex_);
  if (generation != media_item_generation_) return;
  artwork_ = artwork;
  updateNowPlayingInfo();
}

void NowPlayingBridge::stopService() {
  std::lock_guard lock(mutex_);
  if (command_center_) {
    // The rate command loses its target here too: disabled now, it is skipped when the table is
    // applied below, and the next activation would give it a second target.
    for (const auto& command : {command_center_->changePlaybackRateCommand(),
                                command_center_->togglePlayPauseCommand()}) {
      command->setEnabled(false);
      command->removeTarget(std::nullopt);
    }
  }
  info_center_->setNowPlayingInfo(std::nullopt);
  // The centre now shows nothing: forget what was published there, and that anything played, so
  // that the next playing state publishes everything again.
  fields_.clear();
  playing_ = false;
  actions_.reset();
  updateControls();
  controls_applied_ = false;
  command_center_ = nullptr;
  commands_ = {};
}

void NowPlayingBridge::activateCommandCenter() {
  command_center_ = MPRemoteCommandCenter::sharedCommandCenter();
  const auto& slots = remoteCommandSlots();
  for (size_t action = 0; action < kActionCount; ++action) {
    commands_[action] = slots[action] ? slots[action]->command(*command_center_) : nullptr;
  }
  command_center_->changePlaybackRateCommand()->setEnabled(true);
  auto toggle = command_center_->togglePlayPauseCommand();
  toggle->setEnabled(true);
  addTarget(kTogglePlayPauseAction, *toggle);
  for (const auto& unused :
       {command_center_->enableLanguageOptionCommand(),
        command_center_->disableLanguageOptionCommand(), command_center_->ratingCommand(),
        command_center_->likeCommand(), command_center_->dislikeCommand(),
        command_center_->bookmarkCommand()}) {
    unused->setEnabled(false);
  }
}

void NowPlayingBridge::updateControls() {
  if (!command_center_) return;
  for (size_t action = 0; action < kActionCount; ++action) updateControl(action);
  controls_applied_ = true;
}

void NowPlayingBridge::updateControl(size_t action) {
  const auto& slot = remoteCommandSlots()[action];
  const auto& command = commands_[action];
  if (!slot || !command) return;
  const bool enabled = actions_.test(action);
  if (controls_applied_ && command->isEnabled() == enabled) return;
  command->setEnabled(enabled);
  switch (slot->rule) {
    case CommandRule::enabledOnly:
      return;
    case CommandRule::target:
      if (enabled) {
        addTarget(action, *command);
      } else {
        command->removeTarget(std::nullopt);
      }
      return;
    case CommandRule::skipInterval: {
      // A disabled skip command loses its target even without an interval, so that enabling
      // it again cannot leave it with two.
      if (!enabled) {
        command->removeTarget(std::nullopt);
        return;
      }
      auto interval = action == kSkipBackwardAction ? intervals_.rewind : intervals_.fastForward;
      if (!interval || *interval < 1) return;
      addTarget(action, *command);
      if (auto skip = std::dynamic_pointer_cast<MPSkipIntervalCommand>(command)) {
        skip->setPreferredIntervals({static_cast<double>(*interval / 1000)});
      }
      return;
    }
  }
}

void NowPlayingBridge::addTarget(size_t action, MPRemoteCommand& command) {
  std::weak_ptr<NowPlayingBridge> weak = weak_from_this();
  command.addTargetWithHandler([weak, action](const MPRemoteCommandEvent& event) {
    auto self = weak.lock();
    return self ? self->sendCommand(action, event) : MPRemoteCommandHandlerStatusCommandFailed;
  });
}

MPRemoteCommandHandlerStatus NowPlayingBridge::sendCommand(size_t action,
                                                           const MPRemoteCommandEvent& event) {
  const auto& slot = remoteCommandSlots()[action];
  auto arguments = slot->arguments(event);
  if (!arguments) return MPRemoteCommandHandlerStatusCommandFailed;
  handler_channel_->invokeMethod(slot->method, std::move(*arguments));
  return MPRemoteCommandHandlerStatusSuccess;
}

void NowPlayingBridge::updateNowPlayingInfo() {
  bool changed = false;
  if (media_item_) {
    changed |= fields_.update(MPMediaItemPropertyTitle, stringValue(media_item_->title));
    changed |= fields_.update(MPMediaItemPropertyAlbumTitle, stringValue(media_item_->album));
    changed |= fields_.update(MPMediaItemPropertyArtist, stringValue(media_item_->artist));
    changed |= fields_.update(MPMediaItemPropertyPlaybackDuration, media_item_->duration / 1000.0);
    changed |=
        fields_.update(MPMediaItemPropertyArtwork,
                       artwork_ ? std::optional<MPNowPlayingInfoValue>(artwork_) : std::nullopt);
  }
  changed |=
      fields_.update(MPNowPlayingInfoPropertyMediaType, int64_t{MPNowPlayingInfoMediaTypeAudio});
  std::optional<MPNowPlayingInfoValue> rate;
  if (!playing_) {
    rate = 0.0;
  } else if (speed_) {
    rate = *speed_;
  }
  changed |= fields_.update(MPNowPlayingInfoPropertyPlaybackRate, rate);
  changed |= fields_.update(MPNowPlayingInfoPropertyDefaultPlaybackRate, rate);
  changed |= fields_.update(MPNowPlayingInfoPropertyElapsedPlaybackTime, position_ / 1000.0);
  info_center_->setPlaybackState(playing_ ? MPNowPlayingPlaybackStatePlaying
                                          : MPNowPlayingPlaybackStatePaused);
  std::optional<MPNowPlayingInfoValue> live;
  if (media_item_ && media_item_->isLive) live = *media_item_->isLive;
  changed |= fields_.update(MPNowPlayingInfoPropertyIsLiveStream, live);
  if (changed) info_center_->setNowPlayingInfo(fields_.info());
}

}  // namespace now_playing
