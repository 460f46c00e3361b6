#include "platform/appkit/ns_window.h"

#include "platform/appkit/ns_application.h"
#include "platform/foundation/ns_notification_center.h"

NSWindow::NSWindow(NSRect contentRect, NSWindowStyleMask styleMask, NSBackingStoreType /*backing*/,
                   bool /*defer*/)
    : style_mask_(styleMask) {
  frame_ = frameRectForContentRect(contentRect);
  content_view_ = std::make_shared<NSView>(CGRect{CGPointZero, contentRect.size});
}

NSRect NSWindow::frameRectForContentRect(NSRect contentRect) const {
  if ((style_mask_ & NSWindowStyleMaskTitled) == 0 ||
      (style_mask_ & NSWindowStyleMaskFullSizeContentView) != 0) {
    return contentRect;
  }
  contentRect.size.height += kTitleBarHeight;
  return contentRect;
}

NSRect NSWindow::contentRectForFrameRect(NSRect frameRect) const {
  if ((style_mask_ & NSWindowStyleMaskTitled) == 0 ||
      (style_mask_ & NSWindowStyleMaskFullSizeContentView) != 0) {
    return frameRect;
  }
  frameRect.size.height = std::max<CGFloat>(0, frameRect.size.height - kTitleBarHeight);
  return frameRect;
}

void NSWindow::setFrame(NSRect frame, bool display) {
  frame_ = frame;
  if (content_view_) {
    content_view_->setFrame(CGRect{CGPointZero, contentRectForFrameRect(frame).size});
  }
  if (display) this->display();
}

void NSWindow::setContentView(std::shared_ptr<NSView> view) {
  if (content_view_) content_view_->setWindow({});
  content_view_ = std::move(view);
  if (content_view_) {
    content_view_->setWindow(weak_from_this());
    content_view_->setFrame(CGRect{CGPointZero, contentRectForFrameRect(frame_).size});
  }
}

void NSWindow::setContentViewController(std::shared_ptr<NSViewController> controller) {
  content_controller_ = std::move(controller);
  if (!content_controller_) return;
  auto view = content_controller_->view();
  // The window takes the size of the controller's view, keeping its top-left corner.
  NSRect content = contentRectForFrameRect(frame_);
  CGFloat top = content.origin.y + content.size.height;
  content.size = view->frame().size;
  content.origin.y = top - content.size.height;
  frame_ = frameRectForContentRect(content);
  content_view_ = view;
  content_view_->setWindow(weak_from_this());
  content_view_->setFrame(CGRect{CGPointZero, content.size});
}

void NSWindow::makeKeyAndOrderFront() {
  visible_ = true;
  NSApplication::sharedApplication().addWindow(shared_from_this());
}

void NSWindow::orderOut() { visible_ = false; }

void NSWindow::close() {
  if (closed_) return;
  closed_ = true;
  auto self = shared_from_this();
  NSNotificationCenter::defaultCenter()->postNotificationName(NSWindowWillCloseNotification, self);
  visible_ = false;
  NSApplication::sharedApplication().windowDidClose(self);
}
