// The pixels of a video frame.
#pragma once

class RTCVideoFrameBuffer {
 public:
  virtual ~RTCVideoFrameBuffer() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
};
