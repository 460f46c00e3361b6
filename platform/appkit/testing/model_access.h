// The test controls' way into the window system model: what the user, the displays and the
// window server do, which the platform's own interface does not offer. For testing/ sources only.
#pragma once

#include <memory>
#include <vector>

#include "platform/appkit/ns_application.h"
#include "platform/appkit/ns_dock_tile.h"
#include "platform/appkit/ns_event.h"
#include "platform/appkit/ns_screen.h"
#include "platform/appkit/ns_window.h"

namespace appkit::testing {

struct ModelAccess {
  static std::shared_ptr<NSScreen> makeScreen(
      NSRect frame, NSRect visibleFrame, std::string localizedName,
      std::map<NSDeviceDescriptionKey, std::any> description) {
    return std::shared_ptr<NSScreen>(
        new NSScreen(frame, visibleFrame, std::move(localizedName), std::move(description)));
  }
  static std::shared_ptr<NSScreen> builtInDisplay() { return NSScreen::builtInDisplay(); }
  static void setScreens(std::vector<std::shared_ptr<NSScreen>> screens) {
    NSScreen::setScreens(std::move(screens));
  }

  static void setMouseLocation(NSPoint location) { NSEvent::setMouseLocation(location); }
  static void setCurrentEvent(std::shared_ptr<NSEvent> event) {
    NSApplication::sharedApplication().setCurrentEvent(std::move(event));
  }
  static void setProtectedDataAvailable(bool available) {
    NSApplication::sharedApplication().setProtectedDataAvailable(available);
  }
  static void pointerMoved(NSWindow& window, NSPoint location) { window.pointerMoved(location); }
  static void mouseReleased(NSWindow& window) { window.mouseReleased(); }

  static void userResize(NSWindow& window, const std::vector<NSSize>& sizes) {
    window.userResize(sizes);
  }
  static void userMove(NSWindow& window, NSPoint origin) { window.userMove(origin); }
  static void finishFullScreenTransition(NSWindow& window) { window.finishFullScreenTransition(); }
  static void holdFullScreenTransitions(bool held) { NSWindow::fullScreenTransitionsHeld() = held; }
  static bool isInFullScreenTransition(const NSWindow& window) {
    return window.full_screen_transition_ != NSWindow::FullScreenTransition::none;
  }
  static bool lastFrameChangeWasAnimated(const NSWindow& window) {
    return window.last_frame_change_animated_;
  }
  static int shadowInvalidationCount(const NSWindow& window) {
    return window.shadow_invalidations_;
  }
  static std::shared_ptr<NSEvent> windowDragEvent(const NSWindow& window) {
    return window.drag_event_;
  }

  static bool terminationRequested() {
    return NSApplication::sharedApplication().terminated_.load();
  }
  static int displayCount(const NSDockTile& tile) { return tile.display_count_; }
};

}  // namespace appkit::testing
