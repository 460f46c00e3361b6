// An image made from a pixel buffer, turned by an orientation; what callers render and encode
// captured frames from. Kept as 8-bit B, G, R, A pixels, rows from the top.
//
// The type belongs to CoreImage; this is the WebRTC library's own, kept in its namespace so that
// it never clashes with CoreImage's.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/coregraphics/cg_geometry.h"

namespace webrtc {

enum CGImagePropertyOrientation : uint32_t {
  kCGImagePropertyOrientationUp = 1,
  kCGImagePropertyOrientationDown = 3,
  kCGImagePropertyOrientationRight = 6,
  kCGImagePropertyOrientationLeft = 8,
};

class CIImage {
 public:
  // Null for a buffer whose pixel format cannot be read.
  static std::shared_ptr<CIImage> imageWithCVPixelBuffer(const CVPixelBufferRef& pixelBuffer);
  // Right turns the image a quarter clockwise, left a quarter anticlockwise, down by a half.
  std::shared_ptr<CIImage> imageByApplyingCGOrientation(CGImagePropertyOrientation orientation) const;

  CIImage(int width, int height, std::vector<uint8_t> bgra)
      : width_(width), height_(height), bgra_(std::move(bgra)) {}

  CGRect extent() const { return CGRect{CGPointZero, CGSize{double(width_), double(height_)}}; }
  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<uint8_t>& bgra() const { return bgra_; }

 private:
  int width_;
  int height_;
  std::vector<uint8_t> bgra_;
};

}  // namespace webrtc
