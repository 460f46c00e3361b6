// The wrappers kept for every local track: one protocol, an audio and a video kind.
#pragma once

#include <memory>

#include "platform/webrtc/rtc_media_stream_track.h"

namespace webrtc_host {

class LocalTrack {
 public:
  virtual ~LocalTrack() = default;
  virtual std::shared_ptr<RTCMediaStreamTrack> track() const = 0;
};

}  // namespace webrtc_host
