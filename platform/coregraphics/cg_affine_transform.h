// Affine transforms of the plane, as CoreGraphics writes them: a point (x, y) becomes
// (a·x + c·y + tx, b·x + d·y + ty). Concatenating t1 with t2 applies t1 first.
#pragma once

#include "platform/coregraphics/cg_geometry.h"

struct CGAffineTransform {
  CGFloat a = 1;
  CGFloat b = 0;
  CGFloat c = 0;
  CGFloat d = 1;
  CGFloat tx = 0;
  CGFloat ty = 0;
  friend bool operator==(const CGAffineTransform&, const CGAffineTransform&) = default;
};

inline constexpr CGAffineTransform CGAffineTransformIdentity{};

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx,
                                        CGFloat ty);
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
// Counter-clockwise by `angle` radians in a space whose y axis grows upwards.
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);

// t1 first, then t2.
CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1, const CGAffineTransform& t2);
// The transform itself when it cannot be inverted.
CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t);
bool CGAffineTransformIsIdentity(const CGAffineTransform& t);

CGPoint CGPointApplyAffineTransform(const CGPoint& point, const CGAffineTransform& t);
// The smallest upright rectangle holding the transformed corners of `rect`.
CGRect CGRectApplyAffineTransform(const CGRect& rect, const CGAffineTransform& t);
// The same rectangle with a non-negative width and height.
CGRect CGRectStandardize(const CGRect& rect);
