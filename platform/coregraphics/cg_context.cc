#include "platform/coregraphics/cg_context.h"

#include <cairo.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "platform/coregraphics/internal/cg_pdf_page.h"
#include "platform/coregraphics/internal/control_state.h"

namespace {

// cairo keeps a pixel as a native-endian 32-bit ARGB word; on a little-endian machine it lies in
// memory as B, G, R, A, so turning it into R, G, B, A swaps two bytes.
static_assert(std::endian::native == std::endian::little);

constexpr size_t kMaxSide = 32767;  // cairo's largest image

// A rectangle of whole pixels, rows counted from the top.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

bool isFinite(const CGAffineTransform& t) {
  return std::isfinite(t.a) && std::isfinite(t.b) && std::isfinite(t.c) && std::isfinite(t.d) &&
         std::isfinite(t.tx) && std::isfinite(t.ty);
}

bool isInvertible(const CGAffineTransform& t) {
  double determinant = t.a * t.d - t.b * t.c;
  return isFinite(t) && determinant != 0 && std::isfinite(determinant);
}

// The pixels that `rect` (in the bitmap's top-down space) touches, within the bitmap.
std::optional<PixelRect> touchedPixels(const CGRect& rect, int width, int height) {
  double min_x = CGRectGetMinX(rect), max_x = CGRectGetMaxX(rect);
  double min_y = CGRectGetMinY(rect), max_y = CGRectGetMaxY(rect);
  if (!std::isfinite(min_x) || !std::isfinite(max_x) || !std::isfinite(min_y) ||
      !std::isfinite(max_y)) {
    return std::nullopt;
  }
  double x0 = std::clamp(std::floor(min_x), 0.0, static_cast<double>(width));
  double x1 = std::clamp(std::ceil(max_x), 0.0, static_cast<double>(width));
  double y0 = std::clamp(std::floor(min_y), 0.0, static_cast<double>(height));
  double y1 = std::clamp(std::ceil(max_y), 0.0, static_cast<double>(height));
  if (x0 >= x1 || y0 >= y1) return std::nullopt;
  return PixelRect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                   static_cast<int>(y1 - y0)};
}

// Swaps the first and third byte of each of `count` 4-byte pixels: R, G, B, A and B, G, R, A
// are each other's swap. Four pixels at a time where the processor has SSE2; every pass over a
// large bitmap is bound by memory then.
void swapRedAndBlueInRow(uint8_t* pixels, size_t count) {
  size_t done = 0;
#if defined(__SSE2__)
  const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
  const __m128i low = _mm_set1_epi32(0xFF);
  for (; done + 4 <= count; done += 4) {
    auto* at = reinterpret_cast<__m128i*>(pixels + done * 4);
    __m128i v = _mm_loadu_si128(at);
    __m128i swapped = _mm_or_si128(_mm_and_si128(v, keep),
                                   _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low),
                                                _mm_slli_epi32(_mm_and_si128(v, low), 16)));
    _mm_storeu_si128(at, swapped);
  }
#endif
  for (; done < count; ++done) std::swap(pixels[done * 4], pixels[done * 4 + 2]);
}

cairo_matrix_t toCairo(const CGAffineTransform& t) {
  cairo_matrix_t matrix;
  cairo_matrix_init(&matrix, t.a, t.b, t.c, t.d, t.tx, t.ty);
  return matrix;
}

CGFloat unitInterval(CGFloat value) {
  return std::isfinite(value) ? std::clamp<CGFloat>(value, 0, 1) : 0;
}

struct RGBAColor {
  CGFloat red = 0;
  CGFloat green = 0;
  CGFloat blue = 0;
  CGFloat alpha = 1;
};

struct SurfaceDestroy {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDestroy>;

// What the drawing calls read; the state functions below set it.
struct GraphicsState {
  CGAffineTransform ctm = CGAffineTransformIdentity;
  RGBAColor fillColor;
  bool allowsAntialiasing = true;
};

}  // namespace

class CGContext {
 public:
  CGContext(uint8_t* data, int width, int height, int bytesPerRow, bool redFirst,
            SurfacePtr surface)
      : data_(data),
        width_(width),
        height_(height),
        bytes_per_row_(bytesPerRow),
        red_first_(redFirst),
        surface_(std::move(surface)) {}

  GraphicsState state;

  void fillRect(const CGRect& rect) {
    drawWithCairo(rect, toDevice(), [&](cairo_t* cairo) {
      const RGBAColor& color = state.fillColor;
      cairo_set_source_rgba(cairo, color.red, color.green, color.blue, color.alpha);
      cairo_rectangle(cairo, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
      cairo_fill(cairo);
    });
  }

  void drawPage(const CGPDFPage& page) {
    // poppler applies its own transform first; undo it, then apply ours.
    CGAffineTransform pageToDevice =
        CGAffineTransformConcat(CGAffineTransformInvert(page.engineTransform()), toDevice());
    drawWithCairo(page.info().boxes[kCGPDFCropBox], pageToDevice,
                  [&](cairo_t* cairo) { page.render(cairo); });
  }

 private:
  // From our bottom-up space to the buffer's top-down rows, through the current transform.
  CGAffineTransform toDevice() const {
    return CGAffineTransformConcat(state.ctm, CGAffineTransformMake(1, 0, 0, -1, 0, height_));
  }

  // Runs `draw` on a fresh cairo context with `matrix`, clipped to the pixels that `bounds` (in
  // user space) touches. Only those pixels go over to cairo's byte order and back, where the
  // buffer's is another.
  template <typename Draw>
  void drawWithCairo(const CGRect& bounds, const CGAffineTransform& matrix, Draw&& draw) {
    if (!isInvertible(matrix)) return;
    auto pixels = touchedPixels(CGRectApplyAffineTransform(bounds, toDevice()), width_, height_);
    if (!pixels) return;

    if (red_first_) swapRedAndBlue(*pixels);
    cairo_surface_mark_dirty_rectangle(surface_.get(), pixels->x, pixels->y, pixels->width,
                                       pixels->height);
    cairo_t* cairo = cairo_create(surface_.get());
    cairo_rectangle(cairo, pixels->x, pixels->y, pixels->width, pixels->height);
    cairo_clip(cairo);
    cairo_set_antialias(cairo,
                        state.allowsAntialiasing ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_matrix_t cairo_matrix = toCairo(matrix);
    cairo_set_matrix(cairo, &cairo_matrix);
    draw(cairo);
    cairo_destroy(cairo);
    cairo_surface_flush(surface_.get());
    if (red_first_) swapRedAndBlue(*pixels);
  }

  void swapRedAndBlue(const PixelRect& pixels) {
    for (int row = pixels.y; row < pixels.y + pixels.height; ++row) {
      swapRedAndBlueInRow(
          data_ + static_cast<size_t>(row) * bytes_per_row_ + static_cast<size_t>(pixels.x) * 4,
          static_cast<size_t>(pixels.width));
    }
  }

  uint8_t* data_;  // the caller's
  int width_;
  int height_;
  int bytes_per_row_;
  bool red_first_;  // R, G, B, A in memory rather than cairo's B, G, R, A
  SurfacePtr surface_;
};

CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, const CGColorSpaceRef& space,
                                   CGBitmapInfo bitmapInfo) {
  if (coregraphics::internal::failNextBitmapContext().exchange(false)) return nullptr;
  if (data == nullptr || reinterpret_cast<uintptr_t>(data) % 4 != 0) return nullptr;
  const bool red_first = bitmapInfo == (kCGImageAlphaPremultipliedLast | kCGBitmapByteOrderDefault);
  const bool blue_first =
      bitmapInfo == (kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
  if (bitsPerComponent != 8 || CGColorSpaceGetModel(space) != kCGColorSpaceModelRGB ||
      !(red_first || blue_first)) {
    return nullptr;
  }
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  if (bytesPerRow < width * 4 || bytesPerRow % 4 != 0 || bytesPerRow > INT_MAX) return nullptr;

  int w = static_cast<int>(width), h = static_cast<int>(height);
  int stride = static_cast<int>(bytesPerRow);
  SurfacePtr surface(cairo_image_surface_create_for_data(static_cast<unsigned char*>(data),
                                                         CAIRO_FORMAT_ARGB32, w, h, stride));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  return std::make_shared<CGContext>(static_cast<uint8_t*>(data), w, h, stride, red_first,
                                     std::move(surface));
}

void CGContextSetAllowsAntialiasing(const CGContextRef& context, bool allowsAntialiasing) {
  if (context) context->state.allowsAntialiasing = allowsAntialiasing;
}

void CGContextTranslateCTM(const CGContextRef& context, CGFloat tx, CGFloat ty) {
  CGContextConcatCTM(context, CGAffineTransformMakeTranslation(tx, ty));
}

void CGContextScaleCTM(const CGContextRef& context, CGFloat sx, CGFloat sy) {
  CGContextConcatCTM(context, CGAffineTransformMakeScale(sx, sy));
}

void CGContextConcatCTM(const CGContextRef& context, const CGAffineTransform& transform) {
  if (context) context->state.ctm = CGAffineTransformConcat(transform, context->state.ctm);
}

CGAffineTransform CGContextGetCTM(const CGContextRef& context) {
  return context ? context->state.ctm : CGAffineTransformIdentity;
}

void CGContextSetRGBFillColor(const CGContextRef& context, CGFloat red, CGFloat green, CGFloat blue,
                              CGFloat alpha) {
  if (!context) return;
  context->state.fillColor =
      RGBAColor{unitInterval(red), unitInterval(green), unitInterval(blue), unitInterval(alpha)};
}

void CGContextFillRect(const CGContextRef& context, CGRect rect) {
  if (context) context->fillRect(CGRectStandardize(rect));
}

void CGContextDrawPDFPage(const CGContextRef& context, const CGPDFPageRef& page) {
  if (context && page) context->drawPage(*page);
}
