// Writes an I420 image into a pixel buffer in the buffer's own pixel format.
#pragma once

#include <utility>

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/webrtc/rtc_i420_buffer.h"

namespace webrtc_host {

// Bi-planar 4:2:0 buffers get NV12, 32ARGB buffers the bytes A, R, G, B and 32BGRA buffers the
// bytes B, G, R, A. An image larger than the buffer is written only where it fits. False (and
// nothing written) for any other pixel format.
bool writeI420ToPixelBuffer(const RTCI420Buffer& image, CVPixelBuffer& buffer);

// The width and height of a `width` x `height` picture turned clockwise by `rotation` degrees: a
// quarter turn either way swaps them.
std::pair<int, int> rotatedSize(int width, int height, int rotation);

// A frame buffer's pixels, rotated clockwise by `rotation` degrees, as a new I420 buffer.
std::shared_ptr<RTCI420Buffer> rotatedI420(const RTCVideoFrameBuffer& buffer, int rotation);

}  // namespace webrtc_host
