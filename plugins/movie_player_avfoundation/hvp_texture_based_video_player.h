// A player that renders into a Flutter texture. The display link signals the engine once per
// refresh while the video plays or a frame is awaited; `copyPixelBuffer` (on the engine's
// thread) hands over the newest frame for the next refresh and, unless the engine turns out to
// call it faster than the display refreshes, asks for the next engine frame itself.
//
// The pacing fields and the latest buffer are guarded by one mutex; the display link is changed
// only on the main thread: a stop that copyPixelBuffer decides is posted there and re-checked.
#pragma once

#include <memory>
#include <mutex>

#include "platform/avfoundation/av_player_layer.h"
#include "platform/flutter/flutter_texture.h"
#include "plugins/movie_player_avfoundation/hvp_display_link.h"
#include "plugins/movie_player_avfoundation/hvp_frame_updater.h"
#include "plugins/movie_player_avfoundation/hvp_video_player.h"

namespace movie_player_avfoundation {

class HVPTextureBasedVideoPlayer final : public HVPVideoPlayer, public FlutterTexture {
 public:
  static std::shared_ptr<HVPTextureBasedVideoPlayer> create(
      std::shared_ptr<HVPAVPlayerItem> item, std::shared_ptr<HVPFrameUpdater> frameUpdater,
      std::shared_ptr<HVPDisplayLink> displayLink, std::shared_ptr<HVPAVFactory> avFactory,
      std::shared_ptr<HVPViewProvider> viewProvider);

  // Hands the id to the frame updater and awaits the first frame.
  void setTextureIdentifier(int64_t textureId);

  CVPixelBufferRef copyPixelBuffer() override;
  // Disposes the player on the main queue unless it already is.
  void onTextureUnregistered(const std::shared_ptr<FlutterTexture>& texture) override;

  void seekTo(int64_t position, std::function<void(Status)> completion) override;
  Status dispose() override;

 protected:
  void updatePlayingState() override;

 private:
  HVPTextureBasedVideoPlayer(std::shared_ptr<HVPAVPlayerItem> item,
                             std::shared_ptr<HVPFrameUpdater> frameUpdater,
                             std::shared_ptr<HVPDisplayLink> displayLink,
                             std::shared_ptr<HVPAVFactory> avFactory,
                             std::shared_ptr<HVPViewProvider> viewProvider);
  void expectFrame();
  // On the main thread: runs or stops the link for the current wishes.
  void setDisplayLinkRunning(bool running);
  // After copyPixelBuffer saw the awaited frame while paused.
  void stopDisplayLinkIfIdle();
  std::shared_ptr<HVPDisplayLink> displayLink() const;

  const std::shared_ptr<HVPFrameUpdater> frame_updater_;
  std::shared_ptr<AVPlayerLayer> player_layer_;

  mutable std::mutex mutex_;  // guards everything below
  std::shared_ptr<HVPDisplayLink> display_link_;
  bool self_refresh_ = true;
  bool waiting_for_frame_ = false;
  // Mirrors isPlaying() for the engine's thread.
  bool playing_ = false;
  int32_t frames_count_ = 0;
  CVPixelBufferRef latest_pixel_buffer_;
  double target_time_ = 0;
  double start_time_ = 0;
  double latest_duration_ = 0;
};

}  // namespace movie_player_avfoundation
