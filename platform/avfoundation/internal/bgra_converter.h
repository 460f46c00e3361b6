// Converts decoded pictures to 32-bit BGRA of the same size with FFmpeg's scaler (bicubic), into
// a pixel buffer or into tightly packed bytes, with the colour matrix and range each picture
// declares (BT.601, BT.709, BT.2020, SMPTE 240M or FCC; limited or full range), as FFmpeg's own
// conversion reads them. The host's one use of the scaler. Not thread-safe: one user at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/avfoundation/internal/ffmpeg_handles.h"

namespace avfoundation::internal {

class BGRAConverter {
 public:
  // Null when the picture cannot be converted (no size, a format the scaler does not take, no
  // memory for it); `status`, when given, tells kCVReturnAllocationFailed apart.
  CVPixelBufferRef convert(const AVFrame& frame, CVReturn* status = nullptr);
  // Rows of width x 4 bytes, nothing between them; false when the picture cannot be converted.
  bool convert(const AVFrame& frame, std::vector<uint8_t>* pixels);

  // How every destination is laid out for the scaler, which stores whole registers past the end
  // of a row: the layout of the pixel buffers the converter makes.
  static CVPixelBufferLayout destinationLayout();
  // Into the `bytes` at `destination`, rows `bytesPerRow` apart; false, with nothing written, when
  // the destination is not laid out as destinationLayout() says or is smaller than such a buffer.
  bool convert(const AVFrame& frame, uint8_t* destination, size_t bytesPerRow, size_t bytes);

 private:
  // What the scaler is set up for: a new picture size or format makes it anew.
  struct Setup {
    int width = 0;
    int height = 0;
    int format = -1;
    bool yuv = false;
    int matrix = 0;  // an AVColorSpace, which swscale's coefficient tables are indexed by
    bool fullRange = false;
    bool operator==(const Setup&) const = default;
  };
  static Setup setupFor(const AVFrame& frame);
  bool scale(const AVFrame& frame, uint8_t* destination, int stride);
  bool convertWith(const AVFrame& frame, uint8_t* destination, int stride);

  std::unique_ptr<SwsContext, ScalerDeleter> scaler_;
  Setup setup_;
};

}  // namespace avfoundation::internal
