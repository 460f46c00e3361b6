#include "plugins/movie_player_avfoundation/hvp_texture_based_video_player.h"

#include <cmath>

#include "platform/dispatch/dispatch_queue.h"
#include "platform/foundation/ns_log.h"
#include "platform/quartzcore/ca_media_timing.h"

namespace movie_player_avfoundation {
namespace {

// Single-precision 0.01, as the refresh-change threshold has always been computed.
constexpr double kRefreshChangeFactor = static_cast<double>(0.01f);
constexpr int32_t kFramesPerWindow = 10;

}  // namespace

std::shared_ptr<HVPTextureBasedVideoPlayer> HVPTextureBasedVideoPlayer::create(
    std::shared_ptr<HVPAVPlayerItem> item, std::shared_ptr<HVPFrameUpdater> frameUpdater,
    std::shared_ptr<HVPDisplayLink> displayLink, std::shared_ptr<HVPAVFactory> avFactory,
    std::shared_ptr<HVPViewProvider> viewProvider) {
  std::shared_ptr<HVPTextureBasedVideoPlayer> player(new HVPTextureBasedVideoPlayer(
      std::move(item), std::move(frameUpdater), std::move(displayLink), std::move(avFactory),
      std::move(viewProvider)));
  player->loadTracks();
  return player;
}

HVPTextureBasedVideoPlayer::HVPTextureBasedVideoPlayer(std::shared_ptr<HVPAVPlayerItem> item,
                                                       std::shared_ptr<HVPFrameUpdater> frameUpdater,
                                                       std::shared_ptr<HVPDisplayLink> displayLink,
                                                       std::shared_ptr<HVPAVFactory> avFactory,
                                                       std::shared_ptr<HVPViewProvider> viewProvider)
    : HVPVideoPlayer(std::move(item), std::move(avFactory), std::move(viewProvider)),
      frame_updater_(std::move(frameUpdater)),
      display_link_(std::move(displayLink)) {
  frame_updater_->setDisplayLink(display_link_);
  player_layer_ = AVPlayerLayer::playerLayerWithPlayer(player());
  auto view = this->viewProvider() ? this->viewProvider()->view() : nullptr;
  if (view && view->layer()) view->layer()->addSublayer(player_layer_);
}

std::shared_ptr<HVPDisplayLink> HVPTextureBasedVideoPlayer::displayLink() const {
  std::lock_guard lock(mutex_);
  return display_link_;
}

void HVPTextureBasedVideoPlayer::setDisplayLinkRunning(bool running) {
  if (auto link = displayLink()) link->setRunning(running);
}

void HVPTextureBasedVideoPlayer::setTextureIdentifier(int64_t textureId) {
  frame_updater_->setTextureIdentifier(textureId);
  expectFrame();
}

void HVPTextureBasedVideoPlayer::expectFrame() {
  {
    std::lock_guard lock(mutex_);
    waiting_for_frame_ = true;
  }
  setDisplayLinkRunning(true);
}

void HVPTextureBasedVideoPlayer::updatePlayingState() {
  HVPVideoPlayer::updatePlayingState();
  bool running;
  {
    std::lock_guard lock(mutex_);
    playing_ = isPlaying();
    running = playing_ || waiting_for_frame_;
  }
  setDisplayLinkRunning(running);
}

void HVPTextureBasedVideoPlayer::stopDisplayLinkIfIdle() {
  bool idle;
  {
    std::lock_guard lock(mutex_);
    idle = !playing_ && !waiting_for_frame_;
  }
  if (idle && !disposed()) setDisplayLinkRunning(false);
}

void HVPTextureBasedVideoPlayer::seekTo(int64_t position, std::function<void(Status)> completion) {
  CMTime before = player() ? player()->currentTime() : kCMTimeZero;
  HVPVideoPlayer::seekTo(position, [self = std::static_pointer_cast<HVPTextureBasedVideoPlayer>(
                                        shared_from_this()),
                                    before, completion = std::move(completion)](Status status) {
    if (CMTimeCompare(self->player()->currentTime(), before) != 0 && !self->disposed()) {
      self->expectFrame();
    }
    if (completion) completion(std::move(status));
  });
}

HVPVideoPlayer::Status HVPTextureBasedVideoPlayer::dispose() {
  if (disposed()) return std::nullopt;
  // The base disposal may let go of the last outside reference to this player.
  auto self = shared_from_this();
  HVPVideoPlayer::dispose();
  if (player_layer_) player_layer_->removeFromSuperlayer();
  std::shared_ptr<HVPDisplayLink> link;
  {
    std::lock_guard lock(mutex_);
    link = std::move(display_link_);
  }
  if (link) link->setRunning(false);
  frame_updater_->setDisplayLink(nullptr);
  return std::nullopt;
}

void HVPTextureBasedVideoPlayer::onTextureUnregistered(const std::shared_ptr<FlutterTexture>&) {
  auto self = std::static_pointer_cast<HVPTextureBasedVideoPlayer>(shared_from_this());
  dispatch_get_main_queue()->async([self] {
    if (!self->disposed()) self->dispose();
  });
}

CVPixelBufferRef HVPTextureBasedVideoPlayer::copyPixelBuffer() {
  const double now = CACurrentMediaTime();
  const double refresh = frame_updater_->frameDuration();
  bool stopLink = false;
  bool requestFrame = false;
  CVPixelBufferRef result;
  {
    std::lock_guard lock(mutex_);
    // More than half a refresh away from now: the target drifted, start again from now.
    if (std::fabs(target_time_ - now) > 0.5 * refresh) target_time_ = now;
    target_time_ += refresh;
    const auto& source = pixelBufferSource();
    CMTime itemTime = source->itemTimeForHostTime(target_time_);
    bool newFrame = false;
    if (source->hasNewPixelBufferForItemTime(itemTime)) {
      if (auto buffer = source->copyPixelBufferForItemTime(itemTime, nullptr)) {
        latest_pixel_buffer_ = std::move(buffer);
        newFrame = true;
      }
    }
    if (newFrame && waiting_for_frame_) {
      waiting_for_frame_ = false;
      stopLink = !playing_;
    }
    if (display_link_ && display_link_->running() && self_refresh_) {
      if (std::fabs(refresh - latest_duration_) >= kRefreshChangeFactor * latest_duration_) {
        start_time_ = now;
        frames_count_ = 0;
        latest_duration_ = refresh;
      }
      if (frames_count_ == kFramesPerWindow) {
        double average = (now - start_time_) / kFramesPerWindow;
        if (0.5 * refresh > average) {
          NSLog("Warning: measured average duration between frames is unexpectedly short (%f/%f), "
                "please report this to https://issues.velmora.dev/desktop-host.",
                average, refresh);
          self_refresh_ = false;
        }
        start_time_ = now;
        frames_count_ = 0;
      }
      ++frames_count_;
      requestFrame = true;
    }
    result = latest_pixel_buffer_;
  }
  // The link is changed on the main thread only, where the stop is checked again: a play or a
  // seek may have come in between.
  std::weak_ptr<HVPVideoPlayer> weak = weak_from_this();
  if (stopLink) {
    dispatch_get_main_queue()->async([weak] {
      if (auto player = std::static_pointer_cast<HVPTextureBasedVideoPlayer>(weak.lock())) {
        player->stopDisplayLinkIfIdle();
      }
    });
  }
  if (requestFrame) {
    dispatch_get_main_queue()->async([updater = std::weak_ptr<HVPFrameUpdater>(frame_updater_)] {
      auto frameUpdater = updater.lock();
      auto registry = frameUpdater ? frameUpdater->registry() : nullptr;
      if (registry) registry->textureFrameAvailable(frameUpdater->textureIdentifier());
    });
  }
  return result;
}

}  // namespace movie_player_avfoundation
