#include "platform/screencapturekit/screen_pattern.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/avfoundation/cv_pixel_buffer_pool.h"

namespace screencapturekit {
namespace {

struct Bar {
  uint8_t blue, green, red, luma;
};

// White, yellow, cyan, green, magenta, red, blue, black.
constexpr std::array<Bar, 8> kBars{{{235, 235, 235, 235},
                                    {16, 235, 235, 210},
                                    {235, 235, 16, 170},
                                    {16, 235, 16, 145},
                                    {235, 16, 235, 106},
                                    {16, 16, 235, 81},
                                    {235, 16, 16, 41},
                                    {16, 16, 16, 16}}};

const Bar& barAt(size_t x, size_t width) { return kBars[x * kBars.size() / width]; }

}  // namespace

CVPixelBufferRef screenPattern(size_t width, size_t height, OSType pixelFormat) {
  CVPixelBufferRef image;
  if (CVPixelBufferCreate(width, height, pixelFormat, &image) != kCVReturnSuccess) return nullptr;
  if (pixelFormat == kCVPixelFormatType_32BGRA) {
    for (size_t x = 0; x < width; ++x) {
      const Bar& bar = barAt(x, width);
      uint8_t* pixel = image->baseAddress() + x * 4;
      pixel[0] = bar.blue;
      pixel[1] = bar.green;
      pixel[2] = bar.red;
      pixel[3] = 255;
    }
    for (size_t y = 1; y < height; ++y) {
      std::memcpy(image->baseAddress() + y * image->bytesPerRow(), image->baseAddress(), width * 4);
    }
  } else if (CVPixelBufferIsPlanar(*image)) {
    uint8_t* luma = CVPixelBufferGetBaseAddressOfPlane(*image, 0);
    const size_t luma_row = CVPixelBufferGetBytesPerRowOfPlane(*image, 0);
    for (size_t x = 0; x < width; ++x) luma[x] = barAt(x, width).luma;
    for (size_t y = 1; y < height; ++y) std::memcpy(luma + y * luma_row, luma, width);
    // Grey chroma; the luma bars are the pattern.
    uint8_t* chroma = CVPixelBufferGetBaseAddressOfPlane(*image, 1);
    const size_t chroma_bytes = CVPixelBufferGetBytesPerRowOfPlane(*image, 1) * ((height + 1) / 2);
    const size_t room = image->dataSize() - static_cast<size_t>(chroma - image->baseAddress());
    std::memset(chroma, 128, std::min(chroma_bytes, room));
  }
  return image;
}

}  // namespace screencapturekit
