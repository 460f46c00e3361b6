// Pixel buffers: an image in memory with its format, as textures hand frames to the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

using OSType = uint32_t;

// 'BGRA': 32-bit blue, green, red, alpha.
inline constexpr OSType kCVPixelFormatType_32BGRA = 0x42475241;
// 'RGBA': 32-bit red, green, blue, alpha.
inline constexpr OSType kCVPixelFormatType_32RGBA = 0x52474241;
// 32-bit alpha, red, green, blue.
inline constexpr OSType kCVPixelFormatType_32ARGB = 0x00000020;
// '420v': bi-planar 4:2:0, video-range luma and chroma.
inline constexpr OSType kCVPixelFormatType_420YpCbCr8BiPlanarVideoRange = 0x34323076;
// '420f': bi-planar 4:2:0, full-range luma and chroma.
inline constexpr OSType kCVPixelFormatType_420YpCbCr8BiPlanarFullRange = 0x34323066;

// How a buffer's rows lie in memory beyond the packed default: rows a multiple of
// `bytesPerRowAlignment` bytes apart, and `trailingBytes` of storage past the last row that no
// reader sees (room for writers that store past a row's end in whole vector registers).
struct CVPixelBufferLayout {
  size_t bytesPerRowAlignment = 1;
  size_t trailingBytes = 0;
};

class CVPixelBuffer {
 public:
  CVPixelBuffer(size_t width, size_t height, OSType pixelFormat,
                CVPixelBufferLayout layout = {});

  size_t width() const { return width_; }
  size_t height() const { return height_; }
  OSType pixelFormatType() const { return pixel_format_; }
  size_t bytesPerRow() const { return bytes_per_row_; }
  uint8_t* baseAddress() { return bytes_.get(); }
  const uint8_t* baseAddress() const { return bytes_.get(); }
  // The rows readers see: bytesPerRow() x height().
  size_t dataSize() const { return bytes_per_row_ * height_; }
  // The storage behind baseAddress(): dataSize() and the layout's trailing bytes.
  size_t allocationSize() const { return allocation_size_; }

 private:
  size_t width_;
  size_t height_;
  OSType pixel_format_;
  size_t bytes_per_row_;
  size_t allocation_size_;
  struct AlignedDelete {
    void operator()(uint8_t* bytes) const;
  };
  // Starts at an address aligned as its rows are (null when its memory could not be had), for writers that store whole aligned registers.
  std::unique_ptr<uint8_t[], AlignedDelete> bytes_;
};

using CVPixelBufferRef = std::shared_ptr<CVPixelBuffer>;

// The number of references held to the buffer (0 for null).
inline long CFGetRetainCount(const CVPixelBufferRef& buffer) { return buffer.use_count(); }

using CVReturn = int32_t;
inline constexpr CVReturn kCVReturnSuccess = 0;
inline constexpr CVReturn kCVReturnInvalidArgument = -6661;
inline constexpr CVReturn kCVReturnAllocationFailed = -6662;

// kCVReturnAllocationFailed, with nothing made, when the buffer's memory cannot be had.
CVReturn CVPixelBufferCreate(size_t width, size_t height, OSType pixelFormat,
                             CVPixelBufferRef* pixelBufferOut);
// A packed 32-bit buffer laid out as `layout` says; fails for an alignment that is not a power of
// two.
CVReturn CVPixelBufferCreate(size_t width, size_t height, OSType pixelFormat,
                             const CVPixelBufferLayout& layout, CVPixelBufferRef* pixelBufferOut);
