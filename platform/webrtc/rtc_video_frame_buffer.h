// The pixels of a video frame.
#pragma once

#include <memory>

class RTCI420Buffer;

class RTCVideoFrameBuffer {
 public:
  virtual ~RTCVideoFrameBuffer() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // The pixels as a new I420 buffer; an empty one when the pixel format cannot be read.
  virtual std::shared_ptr<RTCI420Buffer> toI420() const = 0;
};
