// Tells the engine, at each display refresh, that the texture has a frame to fetch, and keeps the
// refresh period for the texture's frame pacing (read on the engine's thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/flutter/flutter_texture.h"
#include "plugins/movie_player_avfoundation/hvp_display_link.h"

namespace movie_player_avfoundation {

class HVPFrameUpdater {
 public:
  explicit HVPFrameUpdater(std::weak_ptr<FlutterTextureRegistry> registry)
      : registry_(std::move(registry)) {}

  // On the main thread, at each refresh.
  void displayLinkFired();

  int64_t textureIdentifier() const { return texture_identifier_.load(); }
  void setTextureIdentifier(int64_t textureId) { texture_identifier_.store(textureId); }
  std::shared_ptr<FlutterTextureRegistry> registry() const { return registry_.lock(); }
  void setDisplayLink(std::shared_ptr<HVPDisplayLink> displayLink) {
    display_link_ = std::move(displayLink);
  }
  // The refresh period at the last tick; 0 before the first.
  double frameDuration() const { return frame_duration_.load(); }

 private:
  std::atomic<int64_t> texture_identifier_{0};
  std::weak_ptr<FlutterTextureRegistry> registry_;
  std::shared_ptr<HVPDisplayLink> display_link_;
  std::atomic<double> frame_duration_{0.0};
};

}  // namespace movie_player_avfoundation
