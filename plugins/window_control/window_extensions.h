// Helpers this plug-in adds to windows: switching single style and collection-behaviour bits, and
// hiding a window once at launch.
#pragma once

#include "platform/appkit/ns_window.h"

namespace window_control {

// Adds `bits` to the window's style mask when `enabled`, removes them otherwise; the other bits
// stay as they were.
void setStyleMask(NSWindow& window, bool enabled, NSWindowStyleMask bits);
// The same for the window's collection behaviour.
void setCollectionBehavior(NSWindow& window, bool enabled, NSWindowCollectionBehavior bits);

// Whether hiddenWindowAtLaunch has hidden the window.
bool hiddenOnceFlag(const NSWindow& window);
// Hides the window, the first time it is called for that window only.
void hiddenWindowAtLaunch(NSWindow& window);

}  // namespace window_control
