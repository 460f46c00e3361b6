// A frame buffer of 8-bit planar 4:2:0 (I420) pixels: a full-size luma plane and two chroma
// planes of half the width and height, rounded up.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/webrtc/rtc_video_frame_buffer.h"

class RTCI420Buffer : public RTCVideoFrameBuffer,
                      public std::enable_shared_from_this<RTCI420Buffer> {
 public:
  // Sizes below 1 give an empty buffer (0 x 0).
  RTCI420Buffer(int width, int height);

  int width() const override { return width_; }
  int height() const override { return height_; }
  std::shared_ptr<RTCI420Buffer> toI420() const override;

  int chromaWidth() const { return (width_ + 1) / 2; }
  int chromaHeight() const { return (height_ + 1) / 2; }
  int strideY() const { return width_; }
  int strideU() const { return chromaWidth(); }
  int strideV() const { return chromaWidth(); }
  const uint8_t* dataY() const { return bytes_.data(); }
  const uint8_t* dataU() const { return dataY() + size_t(strideY()) * height_; }
  const uint8_t* dataV() const { return dataU() + size_t(strideU()) * chromaHeight(); }
  uint8_t* mutableDataY() { return bytes_.data(); }
  uint8_t* mutableDataU() { return mutableDataY() + size_t(strideY()) * height_; }
  uint8_t* mutableDataV() { return mutableDataU() + size_t(strideU()) * chromaHeight(); }

 private:
  int width_;
  int height_;
  std::vector<uint8_t> bytes_;
};
