// Colours as windows and views take them: RGBA components in the range 0 to 1.
#pragma once

#include "platform/coregraphics/cg_geometry.h"

class NSColor {
 public:
  static NSColor colorWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
  // Fully transparent.
  static NSColor clearColor() { return NSColor(0, 0, 0, 0); }
  // The default background of a window.
  static NSColor windowBackgroundColor() { return NSColor(0.925, 0.925, 0.925, 1); }

  CGFloat redComponent() const { return red_; }
  CGFloat greenComponent() const { return green_; }
  CGFloat blueComponent() const { return blue_; }
  CGFloat alphaComponent() const { return alpha_; }

  friend bool operator==(const NSColor&, const NSColor&) = default;

 private:
  NSColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
      : red_(red), green_(green), blue_(blue), alpha_(alpha) {}

  CGFloat red_;
  CGFloat green_;
  CGFloat blue_;
  CGFloat alpha_;
};
