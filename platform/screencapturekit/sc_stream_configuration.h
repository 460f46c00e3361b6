// How a stream captures: output size, pacing, pixel format and cursor.
#pragma once

#include <cstddef>

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/avfoundation/cm_time.h"

struct SCStreamConfiguration {
  size_t width = 1920;
  size_t height = 1080;
  // The shortest time between two frames.
  CMTime minimumFrameInterval = CMTimeMake(1, 60);
  OSType pixelFormat = kCVPixelFormatType_32BGRA;
  bool showsCursor = true;
};
