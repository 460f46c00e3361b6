#include "platform/avfoundation/cv_pixel_buffer.h"

#include <cstring>
#include <new>

namespace {
constexpr size_t kBytesPerPixel = 4;
// Larger images are refused instead of allocating gigabytes on a caller's say-so.
constexpr size_t kMaxDimension = 16384;
// Beyond any vector register a writer may store past a row in.
constexpr size_t kMaxAlignment = 4096;
// Every buffer starts at an address aligned to this (rows further apart than it stay aligned).
constexpr std::align_val_t kBaseAlignment{64};

size_t roundedUp(size_t bytes, size_t alignment) {
  return (bytes + alignment - 1) / alignment * alignment;
}

}  // namespace

CVPixelBuffer::CVPixelBuffer(size_t width, size_t height, OSType pixelFormat,
                             CVPixelBufferLayout layout)
    : width_(width),
      height_(height),
      pixel_format_(pixelFormat),
      bytes_per_row_(roundedUp(width * kBytesPerPixel, layout.bytesPerRowAlignment)),
      allocation_size_(bytes_per_row_ * height + layout.trailingBytes),
      bytes_(static_cast<uint8_t*>(::operator new[](allocation_size_, kBaseAlignment))) {
  std::memset(bytes_.get(), 0, allocation_size_);
}

void CVPixelBuffer::AlignedDelete::operator()(uint8_t* bytes) const {
  ::operator delete[](bytes, kBaseAlignment);
}

CVReturn CVPixelBufferCreate(size_t width, size_t height, OSType pixelFormat,
                             CVPixelBufferRef* pixelBufferOut) {
  return CVPixelBufferCreate(width, height, pixelFormat, CVPixelBufferLayout{}, pixelBufferOut);
}

CVReturn CVPixelBufferCreate(size_t width, size_t height, OSType pixelFormat,
                             const CVPixelBufferLayout& layout, CVPixelBufferRef* pixelBufferOut) {
  const size_t alignment = layout.bytesPerRowAlignment;
  if (pixelBufferOut == nullptr || width == 0 || height == 0 || width > kMaxDimension ||
      height > kMaxDimension || alignment == 0 || alignment > kMaxAlignment ||
      (alignment & (alignment - 1)) != 0 || layout.trailingBytes > kMaxAlignment) {
    return kCVReturnInvalidArgument;
  }
  *pixelBufferOut = std::make_shared<CVPixelBuffer>(width, height, pixelFormat, layout);
  return kCVReturnSuccess;
}
