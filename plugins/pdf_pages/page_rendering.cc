#include "plugins/pdf_pages/page_rendering.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "platform/coregraphics/cg_color_space.h"
#include "platform/coregraphics/cg_context.h"

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

// Draws with `draw` on a context over `pixels`.
template <typename Draw>
bool drawBitmap(BitmapSize size, std::span<uint8_t> pixels, Draw&& draw) {
  if (pixels.size() != size.byteCount()) return false;
  CGContextRef context =
      CGBitmapContextCreate(pixels.data(), size.width, size.height, 8, size.width * 4,
                            CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
  if (!context) return false;
  CGContextSetAllowsAntialiasing(context, true);
  draw(context);
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

bool drawPage(const CGPDFPageRef& page, BitmapSize size, std::span<uint8_t> pixels) {
  PageGeometry geometry = pageGeometry(page);
  return drawBitmap(size, pixels, [&](const CGContextRef& context) {
    // Stretched to fill the bitmap: the proportions follow the bitmap's.
    CGContextScaleCTM(context, static_cast<double>(size.width) / geometry.width,
                      static_cast<double>(size.height) / geometry.height);
    CGContextConcatCTM(context, geometry.transform);
    CGContextDrawPDFPage(context, page);
  });
}

bool drawTile(const CGPDFPageRef& page, BitmapSize size, const Tile& tile,
              std::span<uint8_t> pixels) {
  PageGeometry geometry = pageGeometry(page);
  double scaled_height = std::fabs(tile.scale * geometry.height);
  return drawBitmap(size, pixels, [&](const CGContextRef& context) {
    CGContextTranslateCTM(context, -tile.x * tile.scale,
                          tile.height + tile.y * tile.scale - scaled_height);
    CGContextScaleCTM(context, tile.scale, tile.scale);
    // The page area, in the same space the page is drawn in.
    CGContextSetRGBFillColor(context, 1, 1, 1, 1);
    CGContextFillRect(context, CGRectMake(0, 0, geometry.width, geometry.height));
    CGContextConcatCTM(context, geometry.transform);
    CGContextDrawPDFPage(context, page);
  });
}

}  // namespace pdf_pages
