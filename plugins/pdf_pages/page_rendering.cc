#include "plugins/pdf_pages/page_rendering.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/coregraphics/cg_color_space.h"
#include "platform/coregraphics/cg_context.h"
#include "plugins/pdf_pages/pixel_order.h"

namespace pdf_pages {

namespace {

// The crop box as shown (width and height exchanged on a page turned a quarter), and the
// transform that turns the page and moves its crop box onto (0, 0, width, height).
struct PageGeometry {
  CGFloat width = 0;
  CGFloat height = 0;
  CGAffineTransform transform;
};

PageGeometry pageGeometry(const CGPDFPageRef& page) {
  CGRect crop = CGPDFPageGetBoxRect(page, kCGPDFCropBox);
  CGFloat width = CGRectGetWidth(crop);
  CGFloat height = CGRectGetHeight(crop);
  int angle = CGPDFPageGetRotationAngle(page);
  if (angle == 90 || angle == 270) std::swap(width, height);
  CGAffineTransform transform =
      CGPDFPageGetDrawingTransform(page, kCGPDFCropBox, CGRectMake(0, 0, width, height), 0, true);
  return PageGeometry{width, height, transform};
}

PixelRect wholeBitmap(BitmapSize size) { return {0, 0, size.width, size.height}; }

// The pixels a rectangle may change, and those it covers whole.
struct Reach {
  PixelRect touched;
  PixelRect covered;
};

// Where `rect`, in the context's space through its current transform, lies on the bitmap. The
// pixels touched reach a pixel further on each side: the page drawn over the rectangle goes
// through another transform, which may round the other way.
Reach reachOf(const CGContextRef& context, const CGRect& rect, BitmapSize size) {
  const CGRect device = CGRectApplyAffineTransform(rect, CGContextGetCTM(context));
  const double width = static_cast<double>(size.width);
  const double height = static_cast<double>(size.height);
  const double left = CGRectGetMinX(device), right = CGRectGetMaxX(device);
  const double top = height - CGRectGetMaxY(device), bottom = height - CGRectGetMinY(device);
  if (!std::isfinite(left) || !std::isfinite(right) || !std::isfinite(top) ||
      !std::isfinite(bottom)) {
    return {wholeBitmap(size), {}};
  }
  auto column = [&](double x) { return static_cast<size_t>(std::clamp(x, 0.0, width)); };
  auto row = [&](double y) { return static_cast<size_t>(std::clamp(y, 0.0, height)); };
  return {{column(std::floor(left) - 1), row(std::floor(top) - 1), column(std::ceil(right) + 1),
           row(std::ceil(bottom) + 1)},
          {column(std::ceil(left)), row(std::ceil(top)), column(std::floor(right)),
           row(std::floor(bottom))}};
}

std::span<uint8_t> rowPart(std::span<uint8_t> pixels, BitmapSize size, size_t y, size_t x0,
                           size_t x1) {
  return pixels.subspan((y * size.width + x0) * 4, (x1 - x0) * 4);
}

void clear(std::span<uint8_t> part) { std::memset(part.data(), 0, part.size()); }

// Clears the pixels of `dirty` outside `kept`, so that the drawing starts from transparent black
// wherever it does not paint over every pixel; the rest of the bitmap is zero already.
void clearDirty(std::span<uint8_t> pixels, BitmapSize size, const PixelRect& dirty,
                const PixelRect& kept) {
  if (dirty.empty()) return;
  for (size_t y = dirty.y0; y < dirty.y1; ++y) {
    if (kept.empty() || y < kept.y0 || y >= kept.y1) {
      clear(rowPart(pixels, size, y, dirty.x0, dirty.x1));
      continue;
    }
    if (dirty.x0 < kept.x0) clear(rowPart(pixels, size, y, dirty.x0, std::min(dirty.x1, kept.x0)));
    if (dirty.x1 > kept.x1) clear(rowPart(pixels, size, y, std::max(dirty.x0, kept.x1), dirty.x1));
  }
}

// Draws with `draw` on a context over `pixels` in cairo's own byte order, so that no drawing call
// converts what it touches; then turns the pixels `draw` answers it may have changed into R, G,
// B, A, once (the rest is transparent black in either order).
template <typename Draw>
bool drawBitmap(BitmapSize size, std::span<uint8_t> pixels, PixelRect& dirty, Draw&& draw) {
  if (pixels.size() != size.byteCount()) return false;
  CGContextRef context = CGBitmapContextCreate(
      pixels.data(), size.width, size.height, 8, size.width * 4, CGColorSpaceCreateDeviceRGB(),
      kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
  if (!context) return false;
  CGContextSetAllowsAntialiasing(context, true);
  const PixelRect touched = draw(context);
  for (size_t y = touched.y0; y < touched.y1 && touched.x0 < touched.x1; ++y) {
    auto part = rowPart(pixels, size, y, touched.x0, touched.x1);
    copySwappingRedAndBlue(part, part);
  }
  dirty = touched;
  return true;
}

}  // namespace

std::optional<BitmapSize> checkedBitmapSize(int64_t width, int64_t height) {
  if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) {
    return std::nullopt;
  }
  BitmapSize size{static_cast<size_t>(width), static_cast<size_t>(height)};
  if (size.byteCount() > kMaxBitmapBytes) return std::nullopt;
  return size;
}

bool drawPage(const CGPDFPageRef& page, BitmapSize size, std::span<uint8_t> pixels,
              PixelRect& dirty) {
  PageGeometry geometry = pageGeometry(page);
  return drawBitmap(size, pixels, dirty, [&](const CGContextRef& context) {
    clearDirty(pixels, size, dirty, {});  // the page may leave any pixel transparent
    // Stretched to fill the bitmap: the proportions follow the bitmap's.
    CGContextScaleCTM(context, static_cast<double>(size.width) / geometry.width,
                      static_cast<double>(size.height) / geometry.height);
    CGContextConcatCTM(context, geometry.transform);
    CGContextDrawPDFPage(context, page);
    return wholeBitmap(size);
  });
}

bool drawTile(const CGPDFPageRef& page, BitmapSize size, const Tile& tile,
              std::span<uint8_t> pixels, PixelRect& dirty) {
  PageGeometry geometry = pageGeometry(page);
  double scaled_height = std::fabs(tile.scale * geometry.height);
  return drawBitmap(size, pixels, dirty, [&](const CGContextRef& context) {
    CGContextTranslateCTM(context, -tile.x * tile.scale,
                          tile.height + tile.y * tile.scale - scaled_height);
    CGContextScaleCTM(context, tile.scale, tile.scale);
    // The page area, in the same space the page is drawn in: its opaque white paints over
    // every pixel it covers whole, and nothing is drawn beyond it.
    const CGRect page_area = CGRectMake(0, 0, geometry.width, geometry.height);
    const Reach reach = reachOf(context, page_area, size);
    clearDirty(pixels, size, dirty, reach.covered);
    CGContextSetRGBFillColor(context, 1, 1, 1, 1);
    CGContextFillRect(context, page_area);
    CGContextConcatCTM(context, geometry.transform);
    CGContextDrawPDFPage(context, page);
    return reach.touched;
  });
}

}  // namespace pdf_pages
