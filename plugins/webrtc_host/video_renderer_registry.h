// The texture renderers the Dart side has made, by texture id.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plugins/webrtc_host/host_rtc_video_renderer.h"
#include "plugins/webrtc_host/registry.h"

namespace webrtc_host {

class VideoRendererRegistry : public Registry<int64_t, HostRTCVideoRenderer> {
 public:
  // The renderer showing the track, or null.
  std::shared_ptr<HostRTCVideoRenderer> rendererOfTrack(const std::string& trackId) const {
    for (const auto& [id, renderer] : *this) {
      auto track = renderer->videoTrack();
      if (track && track->trackId() == trackId) return renderer;
    }
    return nullptr;
  }
  // Detaches and disposes every renderer, keeping none.
  void disposeAll() {
    for (const auto& [id, renderer] : takeAll()) {
      renderer->setVideoTrack(nullptr);
      renderer->dispose();
    }
  }
};

}  // namespace webrtc_host
