// An image loaded from a file, as much of it as now-playing artwork needs: whether the file is an
// image, and its size. PNG and JPEG files are read with libpng and libjpeg; only the header is
// read, so a huge image costs nothing until someone draws it (nobody does here).
//
// The image type belongs to AppKit; this is the MediaPlayer library's own, kept in its namespace
// so that it never clashes with AppKit's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/coregraphics/cg_geometry.h"

namespace mediaplayer {

class NSImage {
 public:
  enum class Format { png, jpeg };

  // Larger image files are not read.
  static constexpr uint64_t kMaxFileBytes = 16 * 1024 * 1024;

  // The image in the file at `path`; null when the file is missing, unreadable, not a regular
  // file (a FIFO, a device or a directory is never opened), larger than kMaxFileBytes, or not a
  // PNG or JPEG image.
  static std::shared_ptr<NSImage> initWithContentsOfFile(const std::string& path);

  // In points: one pixel is one point.
  NSSize size() const { return size_; }
  Format format() const { return format_; }

 private:
  NSImage(NSSize size, Format format) : size_(size), format_(format) {}

  NSSize size_;
  Format format_;
};

}  // namespace mediaplayer
