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
  const bool attached =
      std::any_of(renderers_.begin(), renderers_.end(),
                  [&](const Attached& entry) { return entry.renderer == renderer; });
  if (!attached) renderers_.push_back(Attached{renderer, CGSize{}});
}

void RTCVideoTrack::removeRenderer(const std::shared_ptr<RTCVideoRenderer>& renderer) {
  std::lock_guard lock(mutex_);
  std::erase_if(renderers_, [&](const Attached& entry) { return entry.renderer == renderer; });
}

void RTCVideoTrack::deliverFrame(const std::shared_ptr<RTCVideoFrame>& frame) {
  if (!isEnabled() || !frame) return;
  const bool turned =
      frame->rotation() == RTCVideoRotation_90 || frame->rotation() == RTCVideoRotation_270;
  const CGSize size{static_cast<double>(turned ? frame->height() : frame->width()),
                    static_cast<double>(turned ? frame->width() : frame->height())};
  std::vector<std::pair<std::shared_ptr<RTCVideoRenderer>, bool>> targets;
  {
    std::lock_guard lock(mutex_);
    for (auto& entry : renderers_) {
      targets.emplace_back(entry.renderer, entry.size != size);
      entry.size = size;
    }
  }
  // Renderers are called without the lock, so that they may add or remove renderers.
  for (const auto& [renderer, resized] : targets) {
    if (resized) renderer->setSize(size);
    renderer->renderFrame(frame);
  }
}
