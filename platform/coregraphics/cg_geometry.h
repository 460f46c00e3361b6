// Geometry records shared by the frameworks: points, sizes and rectangles in points.
#pragma once

using CGFloat = double;

struct CGPoint {
  CGFloat x = 0;
  CGFloat y = 0;
  friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
  CGFloat width = 0;
  CGFloat height = 0;
  friend bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGRect {
  CGPoint origin;
  CGSize size;
  friend bool operator==(const CGRect&, const CGRect&) = default;
};

inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
  return CGRect{{x, y}, {width, height}};
}
inline CGPoint CGPointMake(CGFloat x, CGFloat y) { return CGPoint{x, y}; }
inline CGSize CGSizeMake(CGFloat width, CGFloat height) { return CGSize{width, height}; }

inline constexpr CGRect CGRectZero{};
inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};

inline CGFloat CGRectGetMinX(const CGRect& r) { return r.origin.x; }
inline CGFloat CGRectGetMinY(const CGRect& r) { return r.origin.y; }
inline CGFloat CGRectGetMaxX(const CGRect& r) { return r.origin.x + r.size.width; }
inline CGFloat CGRectGetMaxY(const CGRect& r) { return r.origin.y + r.size.height; }
inline CGFloat CGRectGetWidth(const CGRect& r) { return r.size.width; }
inline CGFloat CGRectGetHeight(const CGRect& r) { return r.size.height; }

using NSPoint = CGPoint;
using NSSize = CGSize;
using NSRect = CGRect;
inline NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) { return CGRectMake(x, y, w, h); }
