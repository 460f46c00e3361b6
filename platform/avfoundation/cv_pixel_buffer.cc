#include "platform/avfoundation/cv_pixel_buffer.h"

namespace {
constexpr size_t kBytesPerPixel = 4;
// Larger images are refused instead of allocating gigabytes on a caller's say-so.
constexpr size_t kMaxDimension = 16384;
}  // namespace

CVPixelBuffer::CVPixelBuffer(size_t width, size_t height, OSType pixelFormat)
    : width_(width),
      height_(height),
      pixel_format_(pixelFormat),
      bytes_per_row_(width * kBytesPerPixel),
      bytes_(width * height * kBytesPerPixel) {}

CVReturn CVPixelBufferCreate(size_t width, size_t height, OSType pixelFormat,
                             CVPixelBufferRef* pixelBufferOut) {
  if (pixelBufferOut == nullptr || width == 0 || height == 0 || width > kMaxDimension ||
      height > kMaxDimension) {
    return kCVReturnInvalidArgument;
  }
  *pixelBufferOut = std::make_shared<CVPixelBuffer>(width, height, pixelFormat);
  return kCVReturnSuccess;
}
