// Pools of pixel buffers of one size and format, and the pixel formats and plane layout of
// buffers beyond the packed 32-bit ones.
//
// A bi-planar 4:2:0 buffer keeps its luma plane (one byte per pixel) at the start of the
// buffer's storage and its interleaved chroma plane (two bytes per two pixels, half the rows)
// right after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/avfoundation/cv_pixel_buffer.h"


bool CVPixelBufferIsPlanar(const CVPixelBuffer& buffer);
// Null for a plane the buffer does not have (packed buffers have none).
uint8_t* CVPixelBufferGetBaseAddressOfPlane(CVPixelBuffer& buffer, size_t plane);
size_t CVPixelBufferGetBytesPerRowOfPlane(const CVPixelBuffer& buffer, size_t plane);

struct CVPixelBufferPoolAttributes {
  size_t minimumBufferCount = 0;
};

struct CVPixelBufferAttributes {
  size_t width = 0;
  size_t height = 0;
  OSType pixelFormat = kCVPixelFormatType_32BGRA;
  bool cgImageCompatibility = false;
  bool cgBitmapContextCompatibility = false;
  bool ioSurfaceBacked = false;
};

// Hands out buffers of its attributes, reusing those nobody holds any more.
class CVPixelBufferPool {
 public:
  CVPixelBufferPool(CVPixelBufferPoolAttributes poolAttributes,
                    CVPixelBufferAttributes bufferAttributes);
  CVPixelBufferPool(const CVPixelBufferPool&) = delete;
  CVPixelBufferPool& operator=(const CVPixelBufferPool&) = delete;

  const CVPixelBufferAttributes& pixelBufferAttributes() const { return buffer_attributes_; }
  CVReturn createPixelBuffer(CVPixelBufferRef* pixelBufferOut);
  // Buffers made so far (reused ones counted once).
  size_t allocatedBufferCount() const;

 private:
  CVPixelBufferAttributes buffer_attributes_;
  mutable std::mutex mutex_;
  std::vector<CVPixelBufferRef> buffers_;
};

using CVPixelBufferPoolRef = std::shared_ptr<CVPixelBufferPool>;

// Fails for a zero or oversized size, as buffer creation does.
CVReturn CVPixelBufferPoolCreate(const CVPixelBufferPoolAttributes& poolAttributes,
                                 const CVPixelBufferAttributes& bufferAttributes,
                                 CVPixelBufferPoolRef* poolOut);
CVReturn CVPixelBufferPoolCreatePixelBuffer(const CVPixelBufferPoolRef& pool,
                                            CVPixelBufferRef* pixelBufferOut);
