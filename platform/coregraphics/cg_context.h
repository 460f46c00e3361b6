// Drawing contexts. A bitmap context draws into the caller's buffer of 8-bit premultiplied pixels,
// R, G, B, A in memory (alpha last) or B, G, R, A (alpha first in a little-endian 32-bit word),
// whose first row is the top of the image. Its own space has the origin at
// the bottom-left corner, y growing upwards, one unit per pixel. Each drawing call has its pixels
// in the buffer when it returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/coregraphics/cg_affine_transform.h"
#include "platform/coregraphics/cg_color_space.h"
#include "platform/coregraphics/cg_geometry.h"
#include "platform/coregraphics/cg_pdf_page.h"

class CGContext;
using CGContextRef = std::shared_ptr<CGContext>;

using CGBitmapInfo = uint32_t;
inline constexpr CGBitmapInfo kCGImageAlphaPremultipliedLast = 1;
inline constexpr CGBitmapInfo kCGImageAlphaPremultipliedFirst = 2;
inline constexpr CGBitmapInfo kCGBitmapByteOrderDefault = 0;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Little = 2 << 12;

// A context drawing into `data`, which must outlive it: width × height pixels, rows
// `bytesPerRow` apart. Only 8 bits per component, device RGB, and premultiplied alpha last
// (default byte order) or first (32-bit little-endian, the drawing library's own order, which
// costs no conversion) are offered. Null for anything else, for no buffer or one not aligned to 4
// bytes, for a width or height of 0 or above 32767, for rows shorter than width × 4 bytes or not a
// multiple of 4, and when memory runs out.
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, const CGColorSpaceRef& space,
                                   CGBitmapInfo bitmapInfo);

// Allowed by default. Page content drawn by CGContextDrawPDFPage is antialiased as poppler
// chooses.
void CGContextSetAllowsAntialiasing(const CGContextRef& context, bool allowsAntialiasing);

// Each of these acts first on drawn coordinates, before the transform already in place.
void CGContextTranslateCTM(const CGContextRef& context, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(const CGContextRef& context, CGFloat sx, CGFloat sy);
void CGContextConcatCTM(const CGContextRef& context, const CGAffineTransform& transform);
CGAffineTransform CGContextGetCTM(const CGContextRef& context);

// Components outside [0, 1] are clamped. Opaque black by default.
void CGContextSetRGBFillColor(const CGContextRef& context, CGFloat red, CGFloat green, CGFloat blue,
                              CGFloat alpha);
void CGContextFillRect(const CGContextRef& context, CGRect rect);
// Draws the page's content in page space through the current transform, clipped to its crop box.
// A transform that cannot be inverted draws nothing.
void CGContextDrawPDFPage(const CGContextRef& context, const CGPDFPageRef& page);
