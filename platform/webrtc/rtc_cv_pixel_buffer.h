// A video frame buffer over a pixel buffer, optionally cropped to a rectangle of it and scaled
// to an adapted size (the size the frame reports).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/webrtc/rtc_video_frame_buffer.h"

class RTCCVPixelBuffer : public RTCVideoFrameBuffer {
 public:
  explicit RTCCVPixelBuffer(CVPixelBufferRef pixelBuffer);
  // The crop rectangle is clamped to the pixel buffer.
  RTCCVPixelBuffer(CVPixelBufferRef pixelBuffer, int adaptedWidth, int adaptedHeight,
                   int cropWidth, int cropHeight, int cropX, int cropY);

  const CVPixelBufferRef& pixelBuffer() const { return pixel_buffer_; }
  int width() const override { return width_; }
  int height() const override { return height_; }
  std::shared_ptr<RTCI420Buffer> toI420() const override;

  bool requiresCropping() const;
  bool requiresScalingToWidth(int width, int height) const;
  // Bytes of scratch memory cropAndScaleTo needs; 0 when it needs none.
  int bufferSizeForCroppingAndScalingToWidth(int width, int height) const;
  // Writes the cropped rectangle, scaled to the output's size, into `outputPixelBuffer` of the
  // same pixel format. False when the formats differ or cannot be scaled.
  bool cropAndScaleTo(CVPixelBuffer& outputPixelBuffer, uint8_t* tmpBuffer) const;

 private:
  CVPixelBufferRef pixel_buffer_;
  int width_ = 0;
  int height_ = 0;
  int crop_width_ = 0;
  int crop_height_ = 0;
  int crop_x_ = 0;
  int crop_y_ = 0;
};
