// A bitmap rendered from an image, and its encoding as PNG or JPEG.
//
// The type belongs to AppKit; this is the WebRTC library's own, kept in its namespace so that it
// never clashes with AppKit's.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"
#include "platform/webrtc/ci_image.h"

namespace webrtc {

enum NSBitmapImageFileType : int {
  NSBitmapImageFileTypeJPEG = 3,
  NSBitmapImageFileTypePNG = 4,
};

class NSBitmapImageRep {
 public:
  // The part of `image` inside `rect` (origin at the top left), cut to the image.
  NSBitmapImageRep(const CIImage& image, CGRect rect);

  int pixelsWide() const { return width_; }
  int pixelsHigh() const { return height_; }
  CGSize size() const { return size_; }
  void setSize(CGSize size) { size_ = size; }

  // `compressionFactor` from 0 (smallest) to 1 (best); PNG is lossless and ignores it.
  // Nullopt when encoding fails (an empty bitmap included).
  std::optional<std::vector<uint8_t>> representationUsingType(NSBitmapImageFileType type,
                                                              double compressionFactor) const;

 private:
  std::optional<std::vector<uint8_t>> png() const;
  std::optional<std::vector<uint8_t>> jpeg(int quality) const;

  int width_ = 0;
  int height_ = 0;
  CGSize size_;
  std::vector<uint8_t> bgra_;
};

}  // namespace webrtc
