#include "plugins/pdf_pages/page_rendering.h"

#include <sys/mman.h>

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

// Asks for huge pages under the whole 2 MiB spans of [data, data + bytes). Zeroing a large
// bitmap touches every page of it, and faulting it in 4 KiB at a time costs many times the
// drawing itself; where the kernel refuses, nothing changes.
void preferHugePages(const uint8_t* data, size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const auto begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
  const auto end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
  if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// A bitmap of `bytes` zeroes (transparent black), its memory hinted before it is first touched.
Bitmap zeroedBitmap(size_t bytes) {
  Bitmap pixels;
  pixels.reserve(bytes);
  preferHugePages(pixels.data(), bytes);
  pixels.resize(bytes);
  return pixels;
}

// Allocates the zeroed bitmap, draws into it with `draw`, and hands the buffer over once the
// context is gone.
template <typename Draw>
std::optional<Bitmap> drawBitmap(BitmapSize size, Draw&& draw) {
  Bitmap pixels = zeroedBitmap(size.byteCount());
  {
    CGContextRef context =
        CGBitmapContextCreate(pixels.data(), size.width, size.height, 8, size.width * 4,
                              CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
    if (!context) return std::nullopt;
    CGContextSetAllowsAntialiasing(context, true);
    draw(context);
  }
  return pixels;
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

std::optional<Bitmap> renderPage(const CGPDFPageRef& page, BitmapSize size) {
  PageGeometry geometry = pageGeometry(page);
  return drawBitmap(size, [&](const CGContextRef& context) {
    // Stretched to fill the bitmap: the proportions follow the bitmap's.
    CGContextScaleCTM(context, static_cast<double>(size.width) / geometry.width,
                      static_cast<double>(size.height) / geometry.height);
    CGContextConcatCTM(context, geometry.transform);
    CGContextDrawPDFPage(context, page);
  });
}

std::optional<Bitmap> renderTile(const CGPDFPageRef& page, BitmapSize size, const Tile& tile) {
  PageGeometry geometry = pageGeometry(page);
  double scaled_height = std::fabs(tile.scale * geometry.height);
  return drawBitmap(size, [&](const CGContextRef& context) {
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
