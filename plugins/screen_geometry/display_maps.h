// The maps that describe displays and points to the Dart side. Positions are measured from the
// top left, y growing downward; all numbers are doubles.
#pragma once

#include <string>

#include "platform/appkit/ns_screen.h"
#include "platform/flutter/value.h"

namespace screen_geometry {

// The display number under NSScreenNumber as a decimal string; "0" when it is missing or is not
// a display number.
std::string displayId(const NSScreen& screen);

// {"id", "name", "size": {"width", "height"}, "visiblePosition": {"dx", "dy"},
//  "visibleSize": {"width", "height"}}; the visible position is flipped against
// `firstScreenHeight`, the frame height of the first screen.
flutter::ValueMap displayMap(const NSScreen& screen, CGFloat firstScreenHeight);

// {"dx", "dy"}.
flutter::ValueMap pointMap(CGFloat dx, CGFloat dy);

}  // namespace screen_geometry
