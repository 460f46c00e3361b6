// Windows: a frame on the screen (title bar included) around a content view, which a content
// view controller may provide. Installing a controller sizes the window to the controller's view.
//
// The window system is a deterministic model. Frames are in global screen coordinates (origin at
// the bottom left of the first screen, y growing upward). A programmatic frame change tells the
// delegate that the window resized, then that it moved; minimum and maximum sizes, aspect ratios
// and movability constrain only what the user does. Windows are used on the main thread only.
#pragma once

#include <any>
#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/ns_appearance.h"
#include "platform/appkit/ns_button.h"
#include "platform/appkit/ns_color.h"
#include "platform/appkit/ns_event.h"
#include "platform/appkit/ns_view.h"
#include "platform/appkit/ns_view_controller.h"
#include "platform/appkit/ns_window_delegate.h"

class NSScreen;
namespace appkit::testing {
struct ModelAccess;
}

using NSWindowStyleMask = uint64_t;
inline constexpr NSWindowStyleMask NSWindowStyleMaskBorderless = 0;
inline constexpr NSWindowStyleMask NSWindowStyleMaskTitled = 1 << 0;
inline constexpr NSWindowStyleMask NSWindowStyleMaskClosable = 1 << 1;
inline constexpr NSWindowStyleMask NSWindowStyleMaskMiniaturizable = 1 << 2;
inline constexpr NSWindowStyleMask NSWindowStyleMaskResizable = 1 << 3;
inline constexpr NSWindowStyleMask NSWindowStyleMaskNonactivatingPanel = 1 << 7;
inline constexpr NSWindowStyleMask NSWindowStyleMaskFullScreen = 1 << 14;
inline constexpr NSWindowStyleMask NSWindowStyleMaskFullSizeContentView = 1 << 15;

using NSWindowCollectionBehavior = uint64_t;
inline constexpr NSWindowCollectionBehavior NSWindowCollectionBehaviorDefault = 0;
inline constexpr NSWindowCollectionBehavior NSWindowCollectionBehaviorCanJoinAllSpaces = 1 << 0;
inline constexpr NSWindowCollectionBehavior NSWindowCollectionBehaviorFullScreenAuxiliary = 1 << 8;

using NSWindowLevel = long;
inline constexpr NSWindowLevel NSNormalWindowLevel = 0;
inline constexpr NSWindowLevel NSFloatingWindowLevel = 3;
inline constexpr NSWindowLevel NSMainMenuWindowLevel = 24;

enum NSWindowTitleVisibility : long { NSWindowTitleVisible = 0, NSWindowTitleHidden = 1 };

enum NSWindowButton : long {
  NSWindowCloseButton = 0,
  NSWindowMiniaturizeButton = 1,
  NSWindowZoomButton = 2,
};

enum class NSBackingStoreType { NSBackingStoreBuffered = 2 };
inline constexpr NSBackingStoreType NSBackingStoreBuffered =
    NSBackingStoreType::NSBackingStoreBuffered;

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

  // The window keeps its delegate weakly.
  std::shared_ptr<NSWindowDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<NSWindowDelegate>& delegate) { delegate_ = delegate; }
  // The window server's number for the window, unique in the process.
  long windowNumber() const { return window_number_; }

  // Geometry.
  NSRect frame() const { return frame_; }
  virtual void setFrame(NSRect frame, bool display);
  // The model does not interpolate: an animated change ends where an immediate one would.
  void setFrame(NSRect frame, bool display, bool animate);
  void setFrameOrigin(NSPoint origin);
  NSRect frameRectForContentRect(NSRect contentRect) const;
  NSRect contentRectForFrameRect(NSRect frameRect) const;
  // The screen that shows the largest part of the window; null when it is on none.
  std::shared_ptr<NSScreen> screen() const;

  // Limits of the frame size that the user can resize to.
  NSSize minSize() const { return min_size_; }
  void setMinSize(NSSize size) { min_size_ = size; }
  NSSize maxSize() const { return max_size_; }
  void setMaxSize(NSSize size) { max_size_ = size; }
  // The frame's aspect ratio, the content's aspect ratio and the resize increments keep the user's
  // resizing in step; setting one of them cancels the other two. A zero size is unset.
  NSSize aspectRatio() const { return aspect_ratio_; }
  void setAspectRatio(NSSize ratio);
  NSSize contentAspectRatio() const { return content_aspect_ratio_; }
  void setContentAspectRatio(NSSize ratio);
  NSSize resizeIncrements() const { return resize_increments_; }
  void setResizeIncrements(NSSize increments);

  // Style.
  NSWindowStyleMask styleMask() const { return style_mask_; }
  void setStyleMask(NSWindowStyleMask mask) { style_mask_ = mask; }
  NSWindowCollectionBehavior collectionBehavior() const { return collection_behavior_; }
  void setCollectionBehavior(NSWindowCollectionBehavior behavior) {
    collection_behavior_ = behavior;
  }
  NSWindowLevel level() const { return level_; }
  void setLevel(NSWindowLevel level) { level_ = level; }
  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  NSWindowTitleVisibility titleVisibility() const { return title_visibility_; }
  void setTitleVisibility(NSWindowTitleVisibility visibility) { title_visibility_ = visibility; }
  bool titlebarAppearsTransparent() const { return titlebar_transparent_; }
  void setTitlebarAppearsTransparent(bool transparent) { titlebar_transparent_ = transparent; }
  // The close, miniaturize and zoom buttons of a titled window. A button's superview is the title
  // bar, whose superview is the title bar's container. Null for a window without a title bar.
  std::shared_ptr<NSButton> standardWindowButton(NSWindowButton button);

  // Appearance.
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  bool hasShadow() const { return has_shadow_; }
  void setHasShadow(bool hasShadow) { has_shadow_ = hasShadow; }
  // Recomputes the shadow from the window's current shape.
  void invalidateShadow() { ++shadow_invalidations_; }
  NSColor backgroundColor() const { return background_color_; }
  void setBackgroundColor(NSColor color) { background_color_ = color; }
  // Between 0 (transparent) and 1 (opaque); other values are clamped.
  double alphaValue() const { return alpha_value_; }
  void setAlphaValue(double alpha);
  // Null: the application's appearance.
  std::shared_ptr<NSAppearance> appearance() const { return appearance_; }
  void setAppearance(std::shared_ptr<NSAppearance> appearance) {
    appearance_ = std::move(appearance);
  }

  // Mouse handling.
  bool isMovable() const { return movable_; }
  void setMovable(bool movable) { movable_ = movable; }
  // A window that ignores mouse events lets clicks through to what lies beneath it.
  bool ignoresMouseEvents() const { return ignores_mouse_events_; }
  void setIgnoresMouseEvents(bool ignores) { ignores_mouse_events_ = ignores; }
  bool acceptsMouseMovedEvents() const { return accepts_mouse_moved_events_; }
  void setAcceptsMouseMovedEvents(bool accepts) { accepts_mouse_moved_events_ = accepts; }
  // The event the application is handling; null between events.
  std::shared_ptr<NSEvent> currentEvent() const;
  // Lets the user move the window with the pointer, from the mouse-down `event` until the button
  // is released. Ignored for an immovable window or another kind of event.
  void performWindowDragWithEvent(const std::shared_ptr<NSEvent>& event);

  // Content.
  std::shared_ptr<NSView> contentView() const { return content_view_; }
  void setContentView(std::shared_ptr<NSView> view);
  std::shared_ptr<NSViewController> contentViewController() const { return content_controller_; }
  void setContentViewController(std::shared_ptr<NSViewController> controller);

  // Ordering and focus. Only visible windows of the active application are key or main.
  bool isVisible() const { return visible_; }
  void setIsVisible(bool visible);
  void orderFront();
  void makeKeyAndOrderFront();
  void orderBack();
  void orderOut();
  void makeKeyWindow();
  void makeMainWindow();
  bool isKeyWindow() const;
  bool isMainWindow() const;
  virtual bool canBecomeKeyWindow() const { return true; }
  virtual bool canBecomeMainWindow() const { return true; }

  // Zooming fills the visible frame of the window's screen; zooming again restores the frame the
  // window had before. The delegate may refuse either.
  bool isZoomed() const;
  void zoom();
  // As the zoom button does: only for a resizable window.
  void performZoom();
  bool isMiniaturized() const { return miniaturized_; }
  void miniaturize();
  void deminiaturize();
  // As the miniaturize button does: only for a miniaturizable window.
  void performMiniaturize();
  // Starts the transition into or out of full screen; the full-screen bit of the style mask and
  // the frame change when the transition finishes, after the system's animation time. Ignored
  // during a transition or without a screen.
  void toggleFullScreen();
  // How long the system animates a full-screen transition.
  static constexpr double kFullScreenAnimationSeconds = 0.5;
  // Moves a frame down so that its top edge lies within the screen's visible frame, and shortens
  // a resizable window taller than that visible frame, as the system does when a titled window
  // comes onto the screen.
  NSRect constrainFrameRect(NSRect frameRect, const NSScreen* screen) const;
  // As the close button does: only for a closable window, and only if the delegate agrees.
  void performClose();
  // Posts NSWindowWillCloseNotification, hides the window and takes it out of the application.
  void close();

  // Values stored on the window under a caller's private key (the runtime's associated objects).
  std::any associatedObject(const void* key) const;
  void setAssociatedObject(const void* key, std::any value);

  // How many times the window content was redrawn; for tests of display requests.
  int displayCount() const { return display_count_; }
  void display() { ++display_count_; }

 private:
  friend class NSApplication;
  friend struct appkit::testing::ModelAccess;

  enum class FullScreenTransition { none, entering, exiting };
  using DelegateCallback = void (NSWindowDelegate::*)(const NSNotification&);

  void tellDelegate(DelegateCallback callback, const char* notificationName);
  bool isFullScreen() const { return (style_mask_ & NSWindowStyleMaskFullScreen) != 0; }
  // The frame that zooming in gives: the visible frame of the window's (or the first) screen.
  std::optional<NSRect> zoomedFrame() const;
  std::shared_ptr<NSScreen> screenOrFirst() const;
  void buildTitleBar();
  // Keeps a window that comes onto the screen below the top of the screen's visible frame.
  void placeOnScreen();
  NSSize constrainUserSize(NSSize proposed) const;

  // What the user does; reached by the test controls.
  void userResize(const std::vector<NSSize>& frameSizes);
  void userMove(NSPoint origin);
  void finishFullScreenTransition();
  void pointerMoved(NSPoint location);
  void mouseReleased();

  NSRect frame_;
  NSWindowStyleMask style_mask_;
  long window_number_;
  std::weak_ptr<NSWindowDelegate> delegate_;
  std::string title_;
  std::shared_ptr<NSView> content_view_;
  std::shared_ptr<NSViewController> content_controller_;

  NSSize min_size_ = CGSizeMake(0, 0);
  NSSize max_size_ =
      CGSizeMake(std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
  NSSize aspect_ratio_;
  NSSize content_aspect_ratio_;
  NSSize resize_increments_ = CGSizeMake(1, 1);

  NSWindowCollectionBehavior collection_behavior_ = NSWindowCollectionBehaviorDefault;
  NSWindowLevel level_ = NSNormalWindowLevel;
  NSWindowTitleVisibility title_visibility_ = NSWindowTitleVisible;
  bool titlebar_transparent_ = false;
  std::shared_ptr<NSView> titlebar_container_;
  std::array<std::shared_ptr<NSButton>, 3> buttons_;

  bool opaque_ = true;
  bool has_shadow_ = true;
  int shadow_invalidations_ = 0;
  NSColor background_color_ = NSColor::windowBackgroundColor();
  double alpha_value_ = 1;
  std::shared_ptr<NSAppearance> appearance_;

  bool movable_ = true;
  bool ignores_mouse_events_ = false;
  bool accepts_mouse_moved_events_ = false;
  std::shared_ptr<NSEvent> drag_event_;
  std::optional<NSPoint> drag_pointer_;
  bool drag_moved_ = false;

  bool visible_ = false;
  bool closed_ = false;
  bool miniaturized_ = false;
  std::optional<NSRect> frame_before_zoom_;
  FullScreenTransition full_screen_transition_ = FullScreenTransition::none;
  // Counts transitions, so that a scheduled end finishes only the transition it was made for.
  uint64_t full_screen_generation_ = 0;
  // The window server's switch for tests that hold transitions; process-wide, as it is.
  static std::atomic<bool>& fullScreenTransitionsHeld();
  NSRect frame_before_full_screen_;
  bool last_frame_change_animated_ = false;

  std::map<const void*, std::any> associated_objects_;
  bool awake_from_nib_ = false;
  int display_count_ = 0;
};
