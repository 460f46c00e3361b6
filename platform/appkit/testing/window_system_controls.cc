#include "platform/appkit/testing/window_system_controls.h"

#include "platform/appkit/ns_application.h"
#include "platform/appkit/testing/model_access.h"
#include "platform/foundation/ns_notification_center.h"

namespace appkit::testing {

namespace {

std::vector<std::shared_ptr<NSScreen>> makeScreens(const std::vector<ScreenSpec>& specs) {
  std::vector<std::shared_ptr<NSScreen>> screens;
  screens.reserve(specs.size());
  for (const auto& spec : specs) {
    screens.push_back(ModelAccess::makeScreen(spec.frame, spec.visibleFrame, spec.localizedName,
                                              spec.deviceDescription));
  }
  return screens;
}

void arrangeScreens(std::vector<std::shared_ptr<NSScreen>> screens) {
  ModelAccess::setScreens(std::move(screens));
  NSNotificationCenter::defaultCenter()->postNotificationName(
      NSApplicationDidChangeScreenParametersNotification);
}

// Shown on screen: the view and every view above it are not hidden.
bool isShown(const std::shared_ptr<NSView>& view) {
  for (auto current = view; current; current = current->superview()) {
    if (current->isHidden()) return false;
  }
  return true;
}

bool seesMouse(const NSWindow& window) {
  return window.isVisible() && !window.ignoresMouseEvents();
}

}  // namespace

void resetWindowSystem() {
  NSApplication::sharedApplication().reset();
  ModelAccess::setScreens({ModelAccess::builtInDisplay()});
  ModelAccess::setMouseLocation(CGPointZero);
  ModelAccess::holdFullScreenTransitions(false);
}

ScreenSpec builtInScreen() {
  auto display = ModelAccess::builtInDisplay();
  return ScreenSpec{display->frame(), display->visibleFrame(), display->localizedName(),
                    display->deviceDescription()};
}

void setScreens(const std::vector<ScreenSpec>& screens) { arrangeScreens(makeScreens(screens)); }

void connectScreen(const ScreenSpec& screen) {
  auto screens = NSScreen::screens();
  screens.push_back(makeScreens({screen}).front());
  arrangeScreens(std::move(screens));
}

void disconnectScreen(size_t index) {
  auto screens = NSScreen::screens();
  if (index >= screens.size()) return;
  screens.erase(screens.begin() + static_cast<std::ptrdiff_t>(index));
  arrangeScreens(std::move(screens));
}

void moveMouse(NSPoint location) {
  ModelAccess::setMouseLocation(location);
  for (const auto& window : NSApplication::sharedApplication().windows()) {
    ModelAccess::pointerMoved(*window, location);
  }
}

void pressMouse(NSWindow& window, NSPoint locationInWindow) {
  if (!seesMouse(window)) return;
  NSRect frame = window.frame();
  ModelAccess::setMouseLocation(
      CGPointMake(frame.origin.x + locationInWindow.x, frame.origin.y + locationInWindow.y));
  ModelAccess::setCurrentEvent(NSEvent::mouseEventWithType(
      NSEventTypeLeftMouseDown, locationInWindow, window.windowNumber()));
}

void releaseMouse() {
  ModelAccess::setCurrentEvent(nullptr);
  for (const auto& window : NSApplication::sharedApplication().windows()) {
    ModelAccess::mouseReleased(*window);
  }
}

void clickButton(NSWindow& window, NSWindowButton button) {
  if (!seesMouse(window)) return;
  auto shown_button = window.standardWindowButton(button);
  if (shown_button && isShown(shown_button)) shown_button->performClick();
}

void clickWindow(NSWindow& window) {
  if (!seesMouse(window)) return;
  // While the application is inactive these only choose the windows that its activation focuses.
  window.orderFront();
  window.makeKeyWindow();
  window.makeMainWindow();
  NSApplication::sharedApplication().activateIgnoringOtherApps(true);
}

void resizeWindow(NSWindow& window, const std::vector<NSSize>& frameSizes) {
  if (seesMouse(window)) ModelAccess::userResize(window, frameSizes);
}

void moveWindow(NSWindow& window, NSPoint origin) {
  if (seesMouse(window)) ModelAccess::userMove(window, origin);
}

void finishFullScreenTransition(NSWindow& window) {
  ModelAccess::finishFullScreenTransition(window);
}

void holdFullScreenTransitions(bool held) { ModelAccess::holdFullScreenTransitions(held); }

bool isInFullScreenTransition(const NSWindow& window) {
  return ModelAccess::isInFullScreenTransition(window);
}

bool terminationRequested() { return ModelAccess::terminationRequested(); }

bool lastFrameChangeWasAnimated(const NSWindow& window) {
  return ModelAccess::lastFrameChangeWasAnimated(window);
}

int shadowInvalidationCount(const NSWindow& window) {
  return ModelAccess::shadowInvalidationCount(window);
}

std::shared_ptr<NSEvent> windowDragEvent(const NSWindow& window) {
  return ModelAccess::windowDragEvent(window);
}

int dockTileDisplayCount() {
  return ModelAccess::displayCount(*NSApplication::sharedApplication().dockTile());
}

void setProtectedDataAvailable(bool available) {
  auto center = NSNotificationCenter::defaultCenter();
  // "Did become available" follows the change, "will become unavailable" comes before it.
  if (available) {
    ModelAccess::setProtectedDataAvailable(true);
    center->postNotificationName(NSApplicationProtectedDataDidBecomeAvailableNotification);
  } else {
    center->postNotificationName(NSApplicationProtectedDataWillBecomeUnavailableNotification);
    ModelAccess::setProtectedDataAvailable(false);
  }
}

}  // namespace appkit::testing
