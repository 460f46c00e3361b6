// Windows: a frame on the screen (title bar included) around a content view, which a content
// view controller may provide. Installing a controller sizes the window to the controller's view.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/appkit/ns_view.h"
#include "platform/appkit/ns_view_controller.h"

using NSWindowStyleMask = uint64_t;
inline constexpr NSWindowStyleMask NSWindowStyleMaskBorderless = 0;
inline constexpr NSWindowStyleMask NSWindowStyleMaskTitled = 1 << 0;
inline constexpr NSWindowStyleMask NSWindowStyleMaskClosable = 1 << 1;
inline constexpr NSWindowStyleMask NSWindowStyleMaskMiniaturizable = 1 << 2;
inline constexpr NSWindowStyleMask NSWindowStyleMaskResizable = 1 << 3;
inline constexpr NSWindowStyleMask NSWindowStyleMaskFullScreen = 1 << 14;
inline constexpr NSWindowStyleMask NSWindowStyleMaskFullSizeContentView = 1 << 15;

enum class NSBackingStoreType { NSBackingStoreBuffered = 2 };
inline constexpr NSBackingStoreType NSBackingStoreBuffered = NSBackingStoreType::NSBackingStoreBuffered;

inline const std::string NSWindowWillCloseNotification = "NSWindowWillCloseNotification";

class NSWindow : public std::enable_shared_from_this<NSWindow> {
 public:
  // Height of the title bar of a titled window, in points.
  static constexpr CGFloat kTitleBarHeight = 28;

  NSWindow(NSRect contentRect, NSWindowStyleMask styleMask, NSBackingStoreType backing, bool defer);
  virtual ~NSWindow() = default;

  // Called once after the interface description created the window.
  virtual void awakeFromNib() { awake_from_nib_ = true; }
  // Whether the base class's awakeFromNib has run.
  bool isAwakeFromNib() const { return awake_from_nib_; }

  NSRect frame() const { return frame_; }
  virtual void setFrame(NSRect frame, bool display);
  NSRect frameRectForContentRect(NSRect contentRect) const;
  NSRect contentRectForFrameRect(NSRect frameRect) const;
  NSWindowStyleMask styleMask() const { return style_mask_; }
  void setStyleMask(NSWindowStyleMask mask) { style_mask_ = mask; }
  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }

  std::shared_ptr<NSView> contentView() const { return content_view_; }
  void setContentView(std::shared_ptr<NSView> view);
  std::shared_ptr<NSViewController> contentViewController() const { return content_controller_; }
  void setContentViewController(std::shared_ptr<NSViewController> controller);

  bool isVisible() const { return visible_; }
  void makeKeyAndOrderFront();
  void orderOut();
  // Posts NSWindowWillCloseNotification, hides the window and takes it out of the application.
  void close();
  // How many times the window content was redrawn; for tests of display requests.
  int displayCount() const { return display_count_; }
  void display() { ++display_count_; }

 private:
  NSRect frame_;
  NSWindowStyleMask style_mask_;
  std::string title_;
  std::shared_ptr<NSView> content_view_;
  std::shared_ptr<NSViewController> content_controller_;
  bool visible_ = false;
  bool closed_ = false;
  bool awake_from_nib_ = false;
  int display_count_ = 0;
};
