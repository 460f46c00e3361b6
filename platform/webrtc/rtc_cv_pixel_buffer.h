// A video frame buffer over a pixel buffer.
#pragma once

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/webrtc/rtc_video_frame_buffer.h"

class RTCCVPixelBuffer : public RTCVideoFrameBuffer {
 public:
  explicit RTCCVPixelBuffer(CVPixelBufferRef pixelBuffer) : pixel_buffer_(std::move(pixelBuffer)) {}

  const CVPixelBufferRef& pixelBuffer() const { return pixel_buffer_; }
  int width() const override {
    return pixel_buffer_ ? static_cast<int>(pixel_buffer_->width()) : 0;
  }
  int height() const override {
    return pixel_buffer_ ? static_cast<int>(pixel_buffer_->height()) : 0;
  }

 private:
  CVPixelBufferRef pixel_buffer_;
};
