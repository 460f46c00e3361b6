#include "platform/appkit/ns_color.h"

#include <algorithm>

namespace {

CGFloat clampComponent(CGFloat value) {
  // NaN becomes 0 rather than travelling on into drawing code.
  return value >= 0 ? std::min<CGFloat>(value, 1) : 0;
}

}  // namespace

NSColor NSColor::colorWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  return NSColor(clampComponent(red), clampComponent(green), clampComponent(blue),
                 clampComponent(alpha));
}
