#include "platform/coregraphics/cg_affine_transform.h"

#include <algorithm>
#include <cmath>

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx,
                                        CGFloat ty) {
  return CGAffineTransform{a, b, c, d, tx, ty};
}

CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) {
  return CGAffineTransform{1, 0, 0, 1, tx, ty};
}

CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) {
  return CGAffineTransform{sx, 0, 0, sy, 0, 0};
}

CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle) {
  CGFloat cosine = std::cos(angle);
  CGFloat sine = std::sin(angle);
  return CGAffineTransform{cosine, sine, -sine, cosine, 0, 0};
}

CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1,
                                          const CGAffineTransform& t2) {
  return CGAffineTransform{
      t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
      t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
      t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t) {
  CGFloat determinant = t.a * t.d - t.b * t.c;
  if (determinant == 0 || !std::isfinite(determinant)) return t;
  CGFloat a = t.d / determinant;
  CGFloat b = -t.b / determinant;
  CGFloat c = -t.c / determinant;
  CGFloat d = t.a / determinant;
  return CGAffineTransform{a, b, c, d, -(t.tx * a + t.ty * c), -(t.tx * b + t.ty * d)};
}

bool CGAffineTransformIsIdentity(const CGAffineTransform& t) {
  return t == CGAffineTransformIdentity;
}

CGPoint CGPointApplyAffineTransform(const CGPoint& point, const CGAffineTransform& t) {
  return CGPoint{t.a * point.x + t.c * point.y + t.tx, t.b * point.x + t.d * point.y + t.ty};
}

CGRect CGRectApplyAffineTransform(const CGRect& rect, const CGAffineTransform& t) {
  CGRect box = CGRectStandardize(rect);
  const CGPoint corners[] = {
      CGPointApplyAffineTransform(box.origin, t),
      CGPointApplyAffineTransform({CGRectGetMaxX(box), box.origin.y}, t),
      CGPointApplyAffineTransform({box.origin.x, CGRectGetMaxY(box)}, t),
      CGPointApplyAffineTransform({CGRectGetMaxX(box), CGRectGetMaxY(box)}, t),
  };
  CGFloat min_x = corners[0].x, max_x = corners[0].x;
  CGFloat min_y = corners[0].y, max_y = corners[0].y;
  for (const CGPoint& corner : corners) {
    min_x = std::min(min_x, corner.x);
    max_x = std::max(max_x, corner.x);
    min_y = std::min(min_y, corner.y);
    max_y = std::max(max_y, corner.y);
  }
  return CGRectMake(min_x, min_y, max_x - min_x, max_y - min_y);
}

CGRect CGRectStandardize(const CGRect& rect) {
  CGRect result = rect;
  if (result.size.width < 0) {
    result.origin.x += result.size.width;
    result.size.width = -result.size.width;
  }
  if (result.size.height < 0) {
    result.origin.y += result.size.height;
    result.size.height = -result.size.height;
  }
  return result;
}
