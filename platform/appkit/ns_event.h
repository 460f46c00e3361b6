// Input events, and the pointer's position on the screens.
#pragma once

#include <memory>

#include "platform/coregraphics/cg_geometry.h"

namespace appkit::testing {
struct ModelAccess;
}

enum NSEventType : unsigned long {
  NSEventTypeLeftMouseDown = 1,
  NSEventTypeLeftMouseUp = 2,
  NSEventTypeMouseMoved = 5,
  NSEventTypeLeftMouseDragged = 6,
};

class NSEvent {
 public:
  static std::shared_ptr<NSEvent> mouseEventWithType(NSEventType type, NSPoint locationInWindow,
                                                     long windowNumber);

  // Where the pointer is, in global screen coordinates: origin at the bottom left of the first
  // screen, y growing upward.
  static NSPoint mouseLocation();

  NSEventType type() const { return type_; }
  NSPoint locationInWindow() const { return location_in_window_; }
  long windowNumber() const { return window_number_; }

 private:
  friend struct appkit::testing::ModelAccess;
  NSEvent(NSEventType type, NSPoint locationInWindow, long windowNumber)
      : type_(type), location_in_window_(locationInWindow), window_number_(windowNumber) {}
  static void setMouseLocation(NSPoint location);

  NSEventType type_;
  NSPoint location_in_window_;
  long window_number_;
};
