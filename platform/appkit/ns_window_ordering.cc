// Ordering, focus, miniaturizing and closing of windows.
#include "platform/appkit/ns_application.h"
#include "platform/appkit/ns_window.h"
#include "platform/foundation/ns_notification_center.h"

void NSWindow::setIsVisible(bool visible) {
  if (visible) {
    orderFront();
  } else {
    orderOut();
  }
}

void NSWindow::orderFront() {
  if (miniaturized_) return;
  if (!visible_) placeOnScreen();
  visible_ = true;
  closed_ = false;
  NSApplication::sharedApplication().windowOrderedFront(shared_from_this());
}

void NSWindow::makeKeyAndOrderFront() {
  if (miniaturized_) {
    deminiaturize();
    return;
  }
  orderFront();
  makeKeyWindow();
  makeMainWindow();
}

void NSWindow::orderBack() {
  if (miniaturized_) return;
  if (!visible_) placeOnScreen();
  visible_ = true;
  closed_ = false;
  NSApplication::sharedApplication().windowOrderedBack(shared_from_this());
}

void NSWindow::placeOnScreen() {
  // Only a titled window is kept below the menu bar; a full-screen one covers its screen.
  if ((style_mask_ & NSWindowStyleMaskTitled) == 0 || isFullScreen()) return;
  auto target = screenOrFirst();
  NSRect constrained = constrainFrameRect(frame_, target.get());
  if (constrained != frame_) setFrame(constrained, false);
}

void NSWindow::orderOut() {
  visible_ = false;
  NSApplication::sharedApplication().windowLeftScreen(shared_from_this());
}

void NSWindow::makeKeyWindow() {
  if (!visible_ || !canBecomeKeyWindow()) return;
  NSApplication::sharedApplication().setKeyWindow(shared_from_this());
}

void NSWindow::makeMainWindow() {
  if (!visible_ || !canBecomeMainWindow()) return;
  NSApplication::sharedApplication().setMainWindow(shared_from_this());
}

bool NSWindow::isKeyWindow() const {
  return NSApplication::sharedApplication().keyWindow().get() == this;
}

bool NSWindow::isMainWindow() const {
  return NSApplication::sharedApplication().mainWindow().get() == this;
}

void NSWindow::miniaturize() {
  if (miniaturized_) return;
  miniaturized_ = true;
  visible_ = false;
  NSApplication::sharedApplication().windowLeftScreen(shared_from_this());
  tellDelegate(&NSWindowDelegate::windowDidMiniaturize, "NSWindowDidMiniaturizeNotification");
}

void NSWindow::deminiaturize() {
  if (!miniaturized_) return;
  miniaturized_ = false;
  orderFront();
  makeKeyWindow();
  makeMainWindow();
  tellDelegate(&NSWindowDelegate::windowDidDeminiaturize, "NSWindowDidDeminiaturizeNotification");
}

void NSWindow::performMiniaturize() {
  if ((style_mask_ & NSWindowStyleMaskMiniaturizable) != 0) miniaturize();
}

void NSWindow::performClose() {
  if ((style_mask_ & NSWindowStyleMaskClosable) == 0) return;
  if (auto window_delegate = delegate_.lock();
      window_delegate && !window_delegate->windowShouldClose(*this)) {
    return;
  }
  close();
}

void NSWindow::close() {
  if (closed_) return;
  closed_ = true;
  auto self = shared_from_this();
  NSNotificationCenter::defaultCenter()->postNotificationName(NSWindowWillCloseNotification, self);
  visible_ = false;
  auto& application = NSApplication::sharedApplication();
  application.windowLeftScreen(self);
  application.windowDidClose(self);
}
