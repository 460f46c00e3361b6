#include "platform/webrtc/rtc_video_source.h"

#include <algorithm>

#include "platform/webrtc/rtc_video_track.h"

void RTCVideoSource::attachTrack(const std::shared_ptr<RTCVideoTrack>& track) {
  std::lock_guard lock(mutex_);
  std::erase_if(tracks_, [](const std::weak_ptr<RTCVideoTrack>& entry) { return entry.expired(); });
  tracks_.push_back(track);
}

void RTCVideoSource::capturer(RTCVideoCapturer& /*capturer*/,
                              const std::shared_ptr<RTCVideoFrame>& frame) {
  std::vector<std::shared_ptr<RTCVideoTrack>> tracks;
  {
    std::lock_guard lock(mutex_);
    for (const auto& entry : tracks_) {
      if (auto track = entry.lock()) tracks.push_back(std::move(track));
    }
  }
  for (const auto& track : tracks) track->deliverFrame(frame);
}
