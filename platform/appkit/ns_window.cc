#include "platform/appkit/ns_window.h"

#include <algorithm>
#include <atomic>

#include "platform/appkit/ns_application.h"
#include "platform/appkit/ns_screen.h"

namespace {

long nextWindowNumber() {
  // Window numbers are handed out by the window server, one sequence for the process.
  static std::atomic<long> next{1};
  return next++;
}

CGFloat intersectionArea(const NSRect& a, const NSRect& b) {
  CGFloat width = std::min(CGRectGetMaxX(a), CGRectGetMaxX(b)) - std::max(a.origin.x, b.origin.x);
  CGFloat height = std::min(CGRectGetMaxY(a), CGRectGetMaxY(b)) - std::max(a.origin.y, b.origin.y);
  return width > 0 && height > 0 ? width * height : 0;
}

}  // namespace

NSWindow::NSWindow(NSRect contentRect, NSWindowStyleMask styleMask, NSBackingStoreType /*backing*/,
                   bool /*defer*/)
    : style_mask_(styleMask), window_number_(nextWindowNumber()) {
  frame_ = frameRectForContentRect(contentRect);
  content_view_ = std::make_shared<NSView>(CGRect{CGPointZero, contentRect.size});
}

void NSWindow::tellDelegate(DelegateCallback callback, const char* notificationName) {
  auto window_delegate = delegate_.lock();
  if (!window_delegate) return;
  NSNotification notification{notificationName, weak_from_this().lock(), {}};
  ((*window_delegate).*callback)(notification);
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
  NSRect old_frame = frame_;
  frame_ = frame;
  last_frame_change_animated_ = false;
  if (content_view_) {
    content_view_->setFrame(CGRect{CGPointZero, contentRectForFrameRect(frame).size});
  }
  if (display) this->display();
  if (old_frame.size != frame.size) {
    tellDelegate(&NSWindowDelegate::windowDidResize, "NSWindowDidResizeNotification");
  }
  if (old_frame.origin != frame.origin) {
    tellDelegate(&NSWindowDelegate::windowDidMove, "NSWindowDidMoveNotification");
  }
}

void NSWindow::setFrame(NSRect frame, bool display, bool animate) {
  setFrame(frame, display);
  last_frame_change_animated_ = animate;
}

void NSWindow::setFrameOrigin(NSPoint origin) { setFrame(CGRect{origin, frame_.size}, false); }

std::shared_ptr<NSScreen> NSWindow::screen() const {
  std::shared_ptr<NSScreen> best;
  CGFloat best_area = 0;
  for (const auto& candidate : NSScreen::screens()) {
    CGFloat area = intersectionArea(frame_, candidate->frame());
    if (area > best_area) {
      best = candidate;
      best_area = area;
    }
  }
  return best;
}

std::shared_ptr<NSScreen> NSWindow::screenOrFirst() const {
  if (auto own = screen()) return own;
  auto all = NSScreen::screens();
  return all.empty() ? nullptr : all.front();
}

void NSWindow::setAspectRatio(NSSize ratio) {
  aspect_ratio_ = ratio;
  content_aspect_ratio_ = CGSizeZero;
  resize_increments_ = CGSizeMake(1, 1);
}

void NSWindow::setContentAspectRatio(NSSize ratio) {
  content_aspect_ratio_ = ratio;
  aspect_ratio_ = CGSizeZero;
  resize_increments_ = CGSizeMake(1, 1);
}

void NSWindow::setResizeIncrements(NSSize increments) {
  resize_increments_ = increments;
  aspect_ratio_ = CGSizeZero;
  content_aspect_ratio_ = CGSizeZero;
}

void NSWindow::setAlphaValue(double alpha) { alpha_value_ = alpha >= 0 ? std::min(alpha, 1.0) : 0; }

std::shared_ptr<NSButton> NSWindow::standardWindowButton(NSWindowButton button) {
  if ((style_mask_ & NSWindowStyleMaskTitled) == 0) return nullptr;
  auto index = static_cast<size_t>(button);
  if (index >= buttons_.size()) return nullptr;
  if (!titlebar_container_) buildTitleBar();
  return buttons_[index];
}

void NSWindow::buildTitleBar() {
  titlebar_container_ = std::make_shared<NSView>(
      NSMakeRect(0, frame_.size.height - kTitleBarHeight, frame_.size.width, kTitleBarHeight));
  titlebar_container_->setWindow(weak_from_this());
  auto titlebar = std::make_shared<NSView>(titlebar_container_->bounds());
  titlebar_container_->addSubview(titlebar);

  // The buttons act on the window without keeping it alive.
  std::weak_ptr<NSWindow> weak = weak_from_this();
  auto act = [weak](void (NSWindow::*operation)()) {
    return [weak, operation] {
      if (auto window = weak.lock()) ((*window).*operation)();
    };
  };
  const std::array<void (NSWindow::*)(), 3> operations = {
      &NSWindow::performClose, &NSWindow::performMiniaturize, &NSWindow::performZoom};
  for (size_t index = 0; index < buttons_.size(); ++index) {
    auto button = std::make_shared<NSButton>(NSMakeRect(8 + 20.0 * index, 6, 14, 16));
    button->setAction(act(operations[index]));
    titlebar->addSubview(button);
    buttons_[index] = std::move(button);
  }
}

std::shared_ptr<NSEvent> NSWindow::currentEvent() const {
  return NSApplication::sharedApplication().currentEvent();
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

std::any NSWindow::associatedObject(const void* key) const {
  auto found = associated_objects_.find(key);
  return found == associated_objects_.end() ? std::any() : found->second;
}

void NSWindow::setAssociatedObject(const void* key, std::any value) {
  if (value.has_value()) {
    associated_objects_[key] = std::move(value);
  } else {
    associated_objects_.erase(key);
  }
}
