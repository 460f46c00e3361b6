#include "platform/webrtc/rtc_video_track.h"

#include <algorithm>

std::shared_ptr<RTCVideoTrack> RTCVideoTrack::create(std::shared_ptr<RTCVideoSource> source,
                                                     std::string trackId) {
  auto track = std::make_shared<RTCVideoTrack>(source, std::move(trackId));
  if (source) source->attachTrack(track);
  return track;
}

void RTCVideoTrack::addRenderer(const std::shared_ptr<RTCVideoRenderer>& renderer) {
  if (!renderer) return;
  std::lock_guard lock(mutex_);
  if (std::find(renderers_.begin(), renderers_.end(), renderer) == renderers_.end()) {
    renderers_.push_back(renderer);
  }
}

void RTCVideoTrack::removeRenderer(const std::shared_ptr<RTCVideoRenderer>& renderer) {
  std::lock_guard lock(mutex_);
  std::erase(renderers_, renderer);
}

void RTCVideoTrack::deliverFrame(const std::shared_ptr<RTCVideoFrame>& frame) {
  if (!isEnabled() || !frame) return;
  std::vector<std::shared_ptr<RTCVideoRenderer>> renderers;
  {
    std::lock_guard lock(mutex_);
    renderers = renderers_;
  }
  for (const auto& renderer : renderers) renderer->renderFrame(frame);
}
