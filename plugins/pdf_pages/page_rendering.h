// Drawing a page, or a tile of it, into a bitmap of premultiplied RGBA bytes (alpha last, rows
// from the top, no padding). Nothing is kept between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/coregraphics/cg_pdf_page.h"

namespace pdf_pages {

using Bitmap = std::vector<uint8_t>;

// Sizes above these are refused before anything is allocated or drawn. A bitmap reaches the Dart
// side in one reply frame of the transport (64 MiB), beside what the reply adds to its bytes
// (drawn_bitmap.cc checks the sum): a larger one could be drawn but never sent.
inline constexpr int64_t kMaxBitmapSide = 32767;
inline constexpr size_t kBitmapReplyOverheadBytes = 15;
inline constexpr size_t kMaxBitmapBytes = (size_t{64} << 20) - kBitmapReplyOverheadBytes;

// A bitmap size in pixels that passed the limits.
struct BitmapSize {
  size_t width = 0;
  size_t height = 0;
  size_t byteCount() const { return width * 4 * height; }
};

// nullopt unless both sides are in [1, kMaxBitmapSide] and the bytes fit kMaxBitmapBytes.
std::optional<BitmapSize> checkedBitmapSize(int64_t width, int64_t height);

// The tile of a page: `scale` bitmap pixels per page unit, its top-left corner `x` units right of
// the page's left edge and `y` units below its top edge; `height` is the requested height before
// truncation to whole pixels.
struct Tile {
  double scale = 1;
  double x = 0;
  double y = 0;
  double height = 0;
};

// Whole pixels of a bitmap, rows counted from the top: columns [x0, x1) of rows [y0, y1). Empty
// when x0 >= x1 or y0 >= y1.
struct PixelRect {
  size_t x0 = 0;
  size_t y0 = 0;
  size_t x1 = 0;
  size_t y1 = 0;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
};

// Each draws into `pixels`, exactly size.byteCount() bytes, over transparent black. `dirty` tells
// where the memory may hold an earlier bitmap's pixels (empty for fresh memory, all zero): the
// drawing clears those it does not paint over, and answers in `dirty` where the new bitmap may
// hold pixels that are not zero. False when the bitmap cannot be made (`dirty` unchanged).
// The whole page stretched over the bitmap.
bool drawPage(const CGPDFPageRef& page, BitmapSize size, std::span<uint8_t> pixels,
              PixelRect& dirty);
// The tile over a white page area.
bool drawTile(const CGPDFPageRef& page, BitmapSize size, const Tile& tile,
              std::span<uint8_t> pixels, PixelRect& dirty);

}  // namespace pdf_pages
