// Receivers of a video track's frames; called on the framework's frame-delivery thread.
#pragma once

#include <memory>

#include "platform/coregraphics/cg_geometry.h"
#include "platform/webrtc/rtc_video_frame.h"

class RTCVideoRenderer {
 public:
  virtual ~RTCVideoRenderer() = default;
  virtual void setSize(CGSize size) = 0;
  virtual void renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) = 0;
};
