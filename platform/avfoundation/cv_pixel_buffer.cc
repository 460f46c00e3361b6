#include "platform/avfoundation/cv_pixel_buffer.h"

#include <new>

#include "platform/avfoundation/internal/pixel_storage.h"

namespace {
constexpr size_t kBytesPerPixel = 4;
// Larger images are refused instead of allocating gigabytes on a caller's say-so.
constexpr size_t kMaxDimension = 16384;
// Beyond any vector register a writer may store past a row in.
constexpr size_t kMaxAlignment = 4096;

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
      bytes_(avfoundation::internal::allocatePixelStorage(allocation_size_)) {}

namespace avfoundation::internal {

bool isPixelBufferShapeAllowed(const PixelBufferShape& shape) {
  const size_t alignment = shape.bytesPerRowAlignment;
  return shape.width != 0 && shape.height != 0 && shape.width <= kMaxDimension &&
         shape.height <= kMaxDimension && alignment != 0 && alignment <= kMaxAlignment &&
         (alignment & (alignment - 1)) == 0 && shape.trailingBytes <= kMaxAlignment;
}

}  // namespace avfoundation::internal

void CVPixelBuffer::AlignedDelete::operator()(uint8_t* bytes) const {
  avfoundation::internal::freePixelStorage(bytes);
}

CVReturn CVPixelBufferCreate(size_t width, size_t height, OSType pixelFormat,
                             CVPixelBufferRef* pixelBufferOut) {
  return CVPixelBufferCreate(width, height, pixelFormat, CVPixelBufferLayout{}, pixelBufferOut);
}

CVReturn CVPixelBufferCreate(size_t width, size_t height, OSType pixelFormat,
                             const CVPixelBufferLayout& layout, CVPixelBufferRef* pixelBufferOut) {
  if (pixelBufferOut == nullptr ||
      !avfoundation::internal::isPixelBufferShapeAllowed(
          {width, height, layout.bytesPerRowAlignment, layout.trailingBytes})) {
    return kCVReturnInvalidArgument;
  }
  CVPixelBufferRef made;
  try {
    made = std::make_shared<CVPixelBuffer>(width, height, pixelFormat, layout);
  } catch (const std::bad_alloc&) {
    return kCVReturnAllocationFailed;
  }
  if (made->baseAddress() == nullptr) return kCVReturnAllocationFailed;
  *pixelBufferOut = std::move(made);
  return kCVReturnSuccess;
}
