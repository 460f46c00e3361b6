// Zooming, full screen, and the user's resizing and moving of windows.
#include <algorithm>
#include <cmath>

#include "platform/appkit/ns_screen.h"
#include "platform/appkit/ns_window.h"
#include "platform/dispatch/dispatch.h"

namespace {

CGFloat clampLength(CGFloat value, CGFloat minimum, CGFloat maximum) {
  return std::max(minimum, std::min(maximum, value));
}

bool isSet(NSSize size) { return size.width > 0 && size.height > 0; }

}  // namespace

std::optional<NSRect> NSWindow::zoomedFrame() const {
  auto target = screenOrFirst();
  if (!target) return std::nullopt;
  return target->visibleFrame();
}

bool NSWindow::isZoomed() const {
  if (isFullScreen()) return false;
  auto zoomed = zoomedFrame();
  return zoomed && frame_ == *zoomed;
}

void NSWindow::zoom() {
  if (isFullScreen() || full_screen_transition_ != FullScreenTransition::none) return;
  auto zoomed = zoomedFrame();
  if (!zoomed) return;
  bool zooming_out = frame_ == *zoomed;
  NSRect target = *zoomed;
  if (zooming_out) {
    if (frame_before_zoom_ && *frame_before_zoom_ != *zoomed) {
      target = *frame_before_zoom_;
    } else {
      // Nothing to go back to: shrink to the middle of the visible frame.
      target = NSMakeRect(zoomed->origin.x + zoomed->size.width / 8,
                          zoomed->origin.y + zoomed->size.height / 8, zoomed->size.width * 3 / 4,
                          zoomed->size.height * 3 / 4);
    }
  }
  if (auto window_delegate = delegate_.lock();
      window_delegate && !window_delegate->windowShouldZoom(*this, target)) {
    return;
  }
  if (!zooming_out) frame_before_zoom_ = frame_;
  setFrame(target, true);
}

void NSWindow::performZoom() {
  if ((style_mask_ & NSWindowStyleMaskResizable) != 0) zoom();
}

std::atomic<bool>& NSWindow::fullScreenTransitionsHeld() {
  static std::atomic<bool> held{false};
  return held;
}

void NSWindow::toggleFullScreen() {
  if (full_screen_transition_ != FullScreenTransition::none) return;
  if (isFullScreen()) {
    full_screen_transition_ = FullScreenTransition::exiting;
  } else if (screenOrFirst()) {
    full_screen_transition_ = FullScreenTransition::entering;
  } else {
    return;
  }
  uint64_t generation = ++full_screen_generation_;
  std::weak_ptr<NSWindow> weak_window = weak_from_this();
  dispatch_after(
      dispatch_time(DISPATCH_TIME_NOW,
                    static_cast<int64_t>(kFullScreenAnimationSeconds * NSEC_PER_SEC)),
      dispatch_get_main_queue(), [weak_window, generation] {
        auto window = weak_window.lock();
        if (!window || fullScreenTransitionsHeld().load()) return;
        if (window->full_screen_generation_ != generation) return;
        window->finishFullScreenTransition();
      });
}

void NSWindow::finishFullScreenTransition() {
  auto transition = full_screen_transition_;
  full_screen_transition_ = FullScreenTransition::none;
  ++full_screen_generation_;
  if (transition == FullScreenTransition::entering) {
    auto target = screenOrFirst();
    if (!target) return;  // the screen went away during the transition
    frame_before_full_screen_ = frame_;
    style_mask_ |= NSWindowStyleMaskFullScreen;
    setFrame(target->frame(), true);
    tellDelegate(&NSWindowDelegate::windowDidEnterFullScreen,
                 "NSWindowDidEnterFullScreenNotification");
  } else if (transition == FullScreenTransition::exiting) {
    style_mask_ &= ~NSWindowStyleMaskFullScreen;
    setFrame(frame_before_full_screen_, true);
    tellDelegate(&NSWindowDelegate::windowDidExitFullScreen,
                 "NSWindowDidExitFullScreenNotification");
  }
}

NSRect NSWindow::constrainFrameRect(NSRect frameRect, const NSScreen* screen) const {
  if (screen == nullptr) return frameRect;
  NSRect visible = screen->visibleFrame();
  CGFloat visible_top = visible.origin.y + visible.size.height;
  if ((style_mask_ & NSWindowStyleMaskResizable) != 0 && frameRect.size.height > visible.size.height) {
    frameRect.origin.y += frameRect.size.height - visible.size.height;
    frameRect.size.height = visible.size.height;
  }
  CGFloat top = frameRect.origin.y + frameRect.size.height;
  if (top > visible_top) frameRect.origin.y -= top - visible_top;
  return frameRect;
}

NSSize NSWindow::constrainUserSize(NSSize proposed) const {
  NSSize size = proposed;
  if (isSet(resize_increments_)) {
    size.width = std::floor(size.width / resize_increments_.width) * resize_increments_.width;
    size.height = std::floor(size.height / resize_increments_.height) * resize_increments_.height;
  }
  // The width leads: its limits first, then the height that a ratio asks for, then its limits.
  size.width = clampLength(size.width, min_size_.width, max_size_.width);
  if (isSet(aspect_ratio_)) {
    size.height = size.width * aspect_ratio_.height / aspect_ratio_.width;
  } else if (isSet(content_aspect_ratio_)) {
    NSRect content = contentRectForFrameRect(CGRect{CGPointZero, size});
    CGFloat titlebar = size.height - content.size.height;
    size.height =
        content.size.width * content_aspect_ratio_.height / content_aspect_ratio_.width + titlebar;
  }
  size.height = clampLength(size.height, min_size_.height, max_size_.height);
  return size;
}

void NSWindow::userResize(const std::vector<NSSize>& frameSizes) {
  if ((style_mask_ & NSWindowStyleMaskResizable) == 0 || isFullScreen() || frameSizes.empty()) {
    return;
  }
  for (const auto& proposed : frameSizes) {
    NSSize size = constrainUserSize(proposed);
    // The user drags the bottom-right corner: the top-left corner stays.
    NSRect next = frame_;
    next.origin.y += frame_.size.height - size.height;
    next.size = size;
    setFrame(next, true);
  }
  tellDelegate(&NSWindowDelegate::windowDidEndLiveResize, "NSWindowDidEndLiveResizeNotification");
}

void NSWindow::userMove(NSPoint origin) {
  if (!movable_ || isFullScreen()) return;
  tellDelegate(&NSWindowDelegate::windowWillMove, "NSWindowWillMoveNotification");
  setFrameOrigin(origin);
}

void NSWindow::performWindowDragWithEvent(const std::shared_ptr<NSEvent>& event) {
  if (!movable_ || isFullScreen() || !event || event->type() != NSEventTypeLeftMouseDown) return;
  drag_event_ = event;
  drag_pointer_ = NSEvent::mouseLocation();
  drag_moved_ = false;
}

void NSWindow::pointerMoved(NSPoint location) {
  if (!drag_pointer_) return;
  NSPoint origin = frame_.origin;
  origin.x += location.x - drag_pointer_->x;
  origin.y += location.y - drag_pointer_->y;
  drag_pointer_ = location;
  if (!drag_moved_) {
    drag_moved_ = true;
    tellDelegate(&NSWindowDelegate::windowWillMove, "NSWindowWillMoveNotification");
  }
  setFrameOrigin(origin);
}

void NSWindow::mouseReleased() {
  drag_event_.reset();
  drag_pointer_.reset();
  drag_moved_ = false;
}
