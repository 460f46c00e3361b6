#include "platform/webrtc/ci_image.h"

#include <libyuv/convert_argb.h>
#include <libyuv/rotate_argb.h>

#include <cstring>

#include "platform/webrtc/rtc_cv_pixel_buffer.h"
#include "platform/webrtc/rtc_i420_buffer.h"

namespace webrtc {

std::shared_ptr<CIImage> CIImage::imageWithCVPixelBuffer(const CVPixelBufferRef& pixelBuffer) {
  if (!pixelBuffer) return nullptr;
  const int width = int(pixelBuffer->width());
  const int height = int(pixelBuffer->height());
  std::vector<uint8_t> bgra(size_t(width) * height * 4);
  if (pixelBuffer->pixelFormatType() == kCVPixelFormatType_32BGRA) {
    for (int row = 0; row < height; ++row) {
      std::memcpy(bgra.data() + size_t(row) * width * 4,
                  pixelBuffer->baseAddress() + size_t(row) * pixelBuffer->bytesPerRow(),
                  size_t(width) * 4);
    }
    return std::make_shared<CIImage>(width, height, std::move(bgra));
  }
  auto i420 = RTCCVPixelBuffer(pixelBuffer).toI420();
  if (i420->width() != width || i420->height() != height) return nullptr;
  libyuv::I420ToARGB(i420->dataY(), i420->strideY(), i420->dataU(), i420->strideU(),
                     i420->dataV(), i420->strideV(), bgra.data(), width * 4, width, height);
  return std::make_shared<CIImage>(width, height, std::move(bgra));
}

std::shared_ptr<CIImage> CIImage::imageByApplyingCGOrientation(
    CGImagePropertyOrientation orientation) const {
  libyuv::RotationMode mode = libyuv::kRotate0;
  if (orientation == kCGImagePropertyOrientationRight) mode = libyuv::kRotate90;
  if (orientation == kCGImagePropertyOrientationLeft) mode = libyuv::kRotate270;
  if (orientation == kCGImagePropertyOrientationDown) mode = libyuv::kRotate180;
  const bool turned = mode == libyuv::kRotate90 || mode == libyuv::kRotate270;
  const int width = turned ? height_ : width_;
  const int height = turned ? width_ : height_;
  std::vector<uint8_t> rotated(bgra_.size());
  if (!bgra_.empty()) {
    libyuv::ARGBRotate(bgra_.data(), width_ * 4, rotated.data(), width * 4, width_, height_, mode);
  }
  return std::make_shared<CIImage>(width, height, std::move(rotated));
}

}  // namespace webrtc
