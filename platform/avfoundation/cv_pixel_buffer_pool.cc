#include "platform/avfoundation/cv_pixel_buffer_pool.h"

#include <algorithm>
#include <new>

#include "platform/avfoundation/internal/pixel_storage.h"

bool CVPixelBufferIsPlanar(const CVPixelBuffer& buffer) {
  const OSType format = buffer.pixelFormatType();
  return format == kCVPixelFormatType_420YpCbCr8BiPlanarVideoRange ||
         format == kCVPixelFormatType_420YpCbCr8BiPlanarFullRange;
}

size_t CVPixelBufferGetBytesPerRowOfPlane(const CVPixelBuffer& buffer, size_t plane) {
  if (!CVPixelBufferIsPlanar(buffer) || plane > 1) return 0;
  // Chroma rows hold one interleaved pair per two pixels.
  return plane == 0 ? buffer.width() : 2 * ((buffer.width() + 1) / 2);
}

uint8_t* CVPixelBufferGetBaseAddressOfPlane(CVPixelBuffer& buffer, size_t plane) {
  if (!CVPixelBufferIsPlanar(buffer) || plane > 1) return nullptr;
  // Both planes together take at most 2 bytes a pixel, within the buffer's storage.
  return plane == 0 ? buffer.baseAddress()
                    : buffer.baseAddress() + buffer.width() * buffer.height();
}

CVPixelBufferPool::CVPixelBufferPool(CVPixelBufferPoolAttributes poolAttributes,
                                     CVPixelBufferAttributes bufferAttributes)
    : buffer_attributes_(bufferAttributes) {
  // Room for the buffers asked for up front, within reason: the count is the caller's.
  constexpr size_t kMostReserved = 64;
  buffers_.reserve(std::min(poolAttributes.minimumBufferCount, kMostReserved));
}

CVReturn CVPixelBufferPool::createPixelBuffer(CVPixelBufferRef* pixelBufferOut) {
  if (pixelBufferOut == nullptr) return kCVReturnInvalidArgument;
  std::lock_guard lock(mutex_);
  for (const auto& buffer : buffers_) {
    // Only the pool holds it: nobody uses it any more.
    if (buffer.use_count() == 1) {
      *pixelBufferOut = buffer;
      return kCVReturnSuccess;
    }
  }
  CVPixelBufferRef created;
  const CVReturn status = CVPixelBufferCreate(buffer_attributes_.width, buffer_attributes_.height,
                                              buffer_attributes_.pixelFormat, &created);
  if (status != kCVReturnSuccess) return status;
  try {
    buffers_.push_back(created);
  } catch (const std::bad_alloc&) {
    return kCVReturnAllocationFailed;
  }
  *pixelBufferOut = std::move(created);
  return kCVReturnSuccess;
}

size_t CVPixelBufferPool::allocatedBufferCount() const {
  std::lock_guard lock(mutex_);
  return buffers_.size();
}

CVReturn CVPixelBufferPoolCreate(const CVPixelBufferPoolAttributes& poolAttributes,
                                 const CVPixelBufferAttributes& bufferAttributes,
                                 CVPixelBufferPoolRef* poolOut) {
  if (poolOut == nullptr) return kCVReturnInvalidArgument;
  // The size is checked as creation will check it, without making a buffer of it.
  if (!avfoundation::internal::isPixelBufferShapeAllowed(
          {bufferAttributes.width, bufferAttributes.height, 1, 0})) {
    return kCVReturnInvalidArgument;
  }
  try {
    *poolOut = std::make_shared<CVPixelBufferPool>(poolAttributes, bufferAttributes);
  } catch (const std::bad_alloc&) {
    return kCVReturnAllocationFailed;
  }
  return kCVReturnSuccess;
}

CVReturn CVPixelBufferPoolCreatePixelBuffer(const CVPixelBufferPoolRef& pool,
                                            CVPixelBufferRef* pixelBufferOut) {
  if (!pool) return kCVReturnInvalidArgument;
  return pool->createPixelBuffer(pixelBufferOut);
}
