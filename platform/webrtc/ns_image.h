// The image the framework hands out as desktop thumbnails, with the drawing and encoding that
// callers apply to it: focus, draw one image into another (scaled, clipped), TIFF bytes.
//
// The image type belongs to AppKit; this is the WebRTC library's own, kept in its namespace so
// that it never clashes with AppKit's.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"

namespace webrtc {

enum NSCompositingOperation : int {
  NSCompositingOperationClear = 0,
  NSCompositingOperationCopy = 1,
  NSCompositingOperationSourceOver = 2,
};

// An RGBA bitmap, 8 bits per channel, not premultiplied; one pixel per point.
class NSImage {
 public:
  // A transparent image; fractional sizes round up to whole pixels. Sizes are capped at 16384.
  explicit NSImage(NSSize size);
  NSImage(const NSImage&) = delete;
  NSImage& operator=(const NSImage&) = delete;

  NSSize size() const { return size_; }
  size_t pixelsWide() const { return width_; }
  size_t pixelsHigh() const { return height_; }
  size_t bytesPerRow() const { return width_ * 4; }
  // Rows from the top.
  uint8_t* bitmapData() { return pixels_.data(); }
  const uint8_t* bitmapData() const { return pixels_.data(); }

  // Makes this image the target of drawing on the calling thread, until unlockFocus.
  void lockFocus();
  void unlockFocus();

  // Draws `fromRect` of this image (the whole image when empty) into `rect` of the focused image,
  // scaled to fit; parts outside the focused image are cut. Rectangles have their origin at the
  // bottom left, as AppKit's do.
  void drawInRect(NSRect rect, NSRect fromRect, NSCompositingOperation operation,
                  double fraction) const;

  // Uncompressed RGBA TIFF.
  std::vector<uint8_t> TIFFRepresentation() const;

 private:
  NSSize size_;
  size_t width_;
  size_t height_;
  std::vector<uint8_t> pixels_;
  NSImage* previous_focus_ = nullptr;
};

}  // namespace webrtc
