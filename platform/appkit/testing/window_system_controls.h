// Test controls for the window system model: arrange the displays, move and press the pointer,
// act as the user at a window, and read back what the application was asked to do.
#pragma once

#include <any>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/ns_event.h"
#include "platform/appkit/ns_screen.h"
#include "platform/appkit/ns_window.h"

namespace appkit::testing {

// A display to attach, in global coordinates (origin at the bottom left of the first display).
struct ScreenSpec {
  NSRect frame;
  NSRect visibleFrame;
  std::string localizedName;
  // NSScreenNumber should hold a uint32_t; tests may leave it out or store something else.
  std::map<NSDeviceDescriptionKey, std::any> deviceDescription;
};

// Back to the state at launch: the one built-in display, the pointer at the origin, and an active
// application without windows, with a fresh Dock tile, the regular activation policy and its
// protected data available.
void resetWindowSystem();

// Displays. Each change posts NSApplicationDidChangeScreenParametersNotification, as the system
// does when displays are connected, disconnected or rearranged.
ScreenSpec builtInScreen();
void setScreens(const std::vector<ScreenSpec>& screens);
void connectScreen(const ScreenSpec& screen);
// An index past the last display changes nothing and posts nothing.
void disconnectScreen(size_t index);

// The pointer, in global coordinates. Moving it drags a window whose drag has started.
void moveMouse(NSPoint location);
// Presses the button inside the window (which does not come forward); the press is the
// application's current event until the button is released. Ignored by a window that ignores
// mouse events.
void pressMouse(NSWindow& window, NSPoint locationInWindow);
void releaseMouse();

// The user at a window. Windows that ignore mouse events do not see the clicks.
// Clicks one of the title bar's buttons, if the window and the button are shown.
void clickButton(NSWindow& window, NSWindowButton button);
// Clicks into the window: the application comes forward and the window becomes key and main.
void clickWindow(NSWindow& window);
// Drags the bottom-right corner through these frame sizes, then lets go.
void resizeWindow(NSWindow& window, const std::vector<NSSize>& frameSizes);
// Drags the title bar until the frame's origin is `origin`.
void moveWindow(NSWindow& window, NSPoint origin);
// Ends the animation that toggleFullScreen started.
void finishFullScreenTransition(NSWindow& window);
// While held, full-screen transitions wait for finishFullScreenTransition instead of ending on
// their own after the animation time. Not held at launch.
void holdFullScreenTransitions(bool held);
bool isInFullScreenTransition(const NSWindow& window);

// Records.
bool terminationRequested();
bool lastFrameChangeWasAnimated(const NSWindow& window);
int shadowInvalidationCount(const NSWindow& window);
// The mouse-down that started the window's drag; null when no drag is under way.
std::shared_ptr<NSEvent> windowDragEvent(const NSWindow& window);
int dockTileDisplayCount();

// Protected data (the user's files and keychain) becomes available or unavailable: the
// application's flag changes, announced as the system announces it.
void setProtectedDataAvailable(bool available);

}  // namespace appkit::testing
