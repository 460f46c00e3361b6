// The picture of the model screen: vertical bars, so that a frame is recognisably not empty.
#pragma once

#include <cstddef>

#include "platform/avfoundation/cv_pixel_buffer.h"

namespace screencapturekit {

// A 32BGRA or bi-planar 4:2:0 image of the given size (other formats stay black). Null when no
// buffer of that size can be made.
CVPixelBufferRef screenPattern(size_t width, size_t height, OSType pixelFormat);

}  // namespace screencapturekit
