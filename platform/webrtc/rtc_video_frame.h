// One video frame: its buffer, rotation and capture time.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/webrtc/rtc_video_frame_buffer.h"

enum RTCVideoRotation : int {
  RTCVideoRotation_0 = 0,
  RTCVideoRotation_90 = 90,
  RTCVideoRotation_180 = 180,
  RTCVideoRotation_270 = 270,
};

class RTCVideoFrame {
 public:
  RTCVideoFrame(std::shared_ptr<RTCVideoFrameBuffer> buffer, RTCVideoRotation rotation,
                int64_t timeStampNs)
      : buffer_(std::move(buffer)), rotation_(rotation), time_stamp_ns_(timeStampNs) {}

  const std::shared_ptr<RTCVideoFrameBuffer>& buffer() const { return buffer_; }
  RTCVideoRotation rotation() const { return rotation_; }
  int64_t timeStampNs() const { return time_stamp_ns_; }
  int width() const { return buffer_ ? buffer_->width() : 0; }
  int height() const { return buffer_ ? buffer_->height() : 0; }

 private:
  std::shared_ptr<RTCVideoFrameBuffer> buffer_;
  RTCVideoRotation rotation_;
  int64_t time_stamp_ns_;
};
