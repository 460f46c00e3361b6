#include "platform/appkit/ns_event.h"

#include <mutex>

namespace {

// The pointer is one for the whole process, as on the platform.
struct Pointer {
  std::mutex mutex;
  NSPoint location;
};

Pointer& pointer() {
  static auto* const shared = new Pointer();
  return *shared;
}

}  // namespace

std::shared_ptr<NSEvent> NSEvent::mouseEventWithType(NSEventType type, NSPoint locationInWindow,
                                                     long windowNumber) {
  return std::shared_ptr<NSEvent>(new NSEvent(type, locationInWindow, windowNumber));
}

NSPoint NSEvent::mouseLocation() {
  std::lock_guard lock(pointer().mutex);
  return pointer().location;
}

void NSEvent::setMouseLocation(NSPoint location) {
  std::lock_guard lock(pointer().mutex);
  pointer().location = location;
}
