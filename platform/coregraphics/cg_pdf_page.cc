#include "platform/coregraphics/cg_pdf_page.h"

#include <algorithm>

#include "platform/coregraphics/internal/cg_pdf_page.h"

namespace {

// A multiple of 90 in [0, 360).
int normalizedDegrees(int degrees) {
  int turned = ((degrees % 360) + 360) % 360;
  return turned - turned % 90;
}

bool isKnownBox(CGPDFBox box) { return box >= kCGPDFMediaBox && box <= kCGPDFArtBox; }

CGRect intersection(const CGRect& a, const CGRect& b) {
  CGFloat min_x = std::max(CGRectGetMinX(a), CGRectGetMinX(b));
  CGFloat min_y = std::max(CGRectGetMinY(a), CGRectGetMinY(b));
  CGFloat max_x = std::min(CGRectGetMaxX(a), CGRectGetMaxX(b));
  CGFloat max_y = std::min(CGRectGetMaxY(a), CGRectGetMaxY(b));
  if (max_x < min_x || max_y < min_y) return CGRectZero;
  return CGRectMake(min_x, min_y, max_x - min_x, max_y - min_y);
}

// Moves `box` to the origin turned clockwise by `clockwise` degrees (a normalized multiple of
// 90), in a space whose y grows upwards.
CGAffineTransform turnedToOrigin(const CGRect& box, int clockwise) {
  CGFloat x0 = CGRectGetMinX(box), y0 = CGRectGetMinY(box);
  CGFloat x1 = CGRectGetMaxX(box), y1 = CGRectGetMaxY(box);
  switch (clockwise) {
    case 90:
      return CGAffineTransformMake(0, -1, 1, 0, -y0, x1);
    case 180:
      return CGAffineTransformMake(-1, 0, 0, -1, x1, y1);
    case 270:
      return CGAffineTransformMake(0, 1, -1, 0, y1, -x0);
    default:
      return CGAffineTransformMake(1, 0, 0, 1, -x0, -y0);
  }
}

CGSize turnedSize(const CGRect& box, int clockwise) {
  if (clockwise == 90 || clockwise == 270) return CGSizeMake(box.size.height, box.size.width);
  return box.size;
}

}  // namespace

CGAffineTransform CGPDFPage::engineTransform() const {
  const CGRect& crop = info_.boxes[kCGPDFCropBox];
  int clockwise = normalizedDegrees(info_.rotation);
  CGFloat height = turnedSize(crop, clockwise).height;
  return CGAffineTransformConcat(turnedToOrigin(crop, clockwise),
                                 CGAffineTransformMake(1, 0, 0, -1, 0, height));
}

CGRect CGPDFPageGetBoxRect(const CGPDFPageRef& page, CGPDFBox box) {
  if (!page || !isKnownBox(box)) return CGRectZero;
  return page->info().boxes[static_cast<size_t>(box)];
}

int CGPDFPageGetRotationAngle(const CGPDFPageRef& page) { return page ? page->info().rotation : 0; }

CGAffineTransform CGPDFPageGetDrawingTransform(const CGPDFPageRef& page, CGPDFBox box, CGRect rect,
                                               int rotate, bool preserveAspectRatio) {
  if (!page || !isKnownBox(box)) return CGAffineTransformIdentity;
  CGRect effective =
      intersection(CGPDFPageGetBoxRect(page, box), CGPDFPageGetBoxRect(page, kCGPDFMediaBox));
  int clockwise = normalizedDegrees(page->info().rotation - rotate);
  CGSize size = turnedSize(effective, clockwise);
  CGRect target = CGRectStandardize(rect);

  CGFloat sx = size.width > 0 ? target.size.width / size.width : 1;
  CGFloat sy = size.height > 0 ? target.size.height / size.height : 1;
  if (preserveAspectRatio) sx = sy = std::min(sx, sy);
  sx = std::min<CGFloat>(sx, 1);
  sy = std::min<CGFloat>(sy, 1);
  CGFloat tx = target.origin.x + (target.size.width - size.width * sx) / 2;
  CGFloat ty = target.origin.y + (target.size.height - size.height * sy) / 2;
  return CGAffineTransformConcat(turnedToOrigin(effective, clockwise),
                                 CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy),
                                                         CGAffineTransformMakeTranslation(tx, ty)));
}
