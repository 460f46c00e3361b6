// Converts decoded pictures to 32-bit BGRA of the same size with FFmpeg's scaler (bicubic), into
// a pixel buffer or into tightly packed bytes. Not thread-safe: one user at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/avfoundation/internal/ffmpeg_handles.h"

namespace avfoundation::internal {

class BGRAConverter {
 public:
  // Null when the picture cannot be converted (no size, a format the scaler does not take).
  CVPixelBufferRef convert(const AVFrame& frame);
  // Rows of width x 4 bytes, nothing between them; false when the picture cannot be converted.
  bool convert(const AVFrame& frame, std::vector<uint8_t>* pixels);

 private:
  bool scale(const AVFrame& frame, uint8_t* destination, int stride);

  std::unique_ptr<SwsContext, ScalerDeleter> scaler_;
};

}  // namespace avfoundation::internal
