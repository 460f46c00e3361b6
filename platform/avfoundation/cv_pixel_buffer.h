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

class CVPixelBuffer {
 public:
  CVPixelBuffer(size_t width, size_t height, OSType pixelFormat);

  size_t width() const { return width_; }
  size_t height() const { return height_; }
  OSType pixelFormatType() const { return pixel_format_; }
  size_t bytesPerRow() const { return bytes_per_row_; }
  uint8_t* baseAddress() { return bytes_.data(); }
  const uint8_t* baseAddress() const { return bytes_.data(); }
  size_t dataSize() const { return bytes_.size(); }

 private:
  size_t width_;
  size_t height_;
  OSType pixel_format_;
  size_t bytes_per_row_;
  std::vector<uint8_t> bytes_;
};

using CVPixelBufferRef = std::shared_ptr<CVPixelBuffer>;

using CVReturn = int32_t;
inline constexpr CVReturn kCVReturnSuccess = 0;
inline constexpr CVReturn kCVReturnInvalidArgument = -6661;

CVReturn CVPixelBufferCreate(size_t width, size_t height, OSType pixelFormat,
                             CVPixelBufferRef* pixelBufferOut);
