#include "plugins/window_control/window_extensions.h"

namespace window_control {

namespace {

// Its address is the key of the flag stored on windows.
const char kHiddenOnceKey = 0;

}  // namespace

void setStyleMask(NSWindow& window, bool enabled, NSWindowStyleMask bits) {
  NSWindowStyleMask mask = window.styleMask();
  window.setStyleMask(enabled ? mask | bits : mask & ~bits);
}

void setCollectionBehavior(NSWindow& window, bool enabled, NSWindowCollectionBehavior bits) {
  NSWindowCollectionBehavior behavior = window.collectionBehavior();
  window.setCollectionBehavior(enabled ? behavior | bits : behavior & ~bits);
}

bool hiddenOnceFlag(const NSWindow& window) {
  auto stored = window.associatedObject(&kHiddenOnceKey);
  const bool* flag = std::any_cast<bool>(&stored);
  return flag != nullptr && *flag;
}

void hiddenWindowAtLaunch(NSWindow& window) {
  if (hiddenOnceFlag(window)) return;
  window.setIsVisible(false);
  window.setAssociatedObject(&kHiddenOnceKey, true);
}

}  // namespace window_control
