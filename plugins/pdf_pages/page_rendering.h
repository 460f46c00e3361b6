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

// Sizes above these are refused before anything is allocated.
inline constexpr int64_t kMaxBitmapSide = 32767;
inline constexpr size_t kMaxBitmapBytes = size_t{256} << 20;

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

// What the bitmap's memory holds before drawing: all zero (fresh memory), or an earlier
// bitmap's bytes, which the drawing clears where it does not paint over them.
enum class Canvas { cleared, used };

// Each draws into `pixels`, exactly size.byteCount() bytes, over transparent black. False when
// the bitmap cannot be made.
// The whole page stretched over the bitmap.
bool drawPage(const CGPDFPageRef& page, BitmapSize size, std::span<uint8_t> pixels,
              Canvas canvas = Canvas::cleared);
// The tile over a white page area.
bool drawTile(const CGPDFPageRef& page, BitmapSize size, const Tile& tile,
              std::span<uint8_t> pixels, Canvas canvas = Canvas::cleared);

}  // namespace pdf_pages
