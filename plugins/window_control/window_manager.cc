#include "plugins/window_control/window_manager.h"

#include <cmath>

#include "platform/appkit/ns_application.h"
#include "platform/appkit/ns_image_view.h"
#include "platform/appkit/ns_panel.h"
#include "platform/appkit/ns_progress_indicator.h"
#include "platform/appkit/ns_screen.h"
#include "platform/dispatch/dispatch.h"
#include "platform/flutter/no_screen_error.h"
#include "plugins/window_control/window_extensions.h"

namespace window_control {

namespace {

const char* const kDockTileInUseCode = "DOCK_TILE_IN_USE";

// Height of the first screen, against which top-left positions are measured.
std::optional<CGFloat> firstScreenHeight() {
  auto screens = NSScreen::screens();
  if (screens.empty()) return std::nullopt;
  return screens.front()->frame().size.height;
}

// Whether every edge of `frame`, and its top-left position as the Dart side reads it back, is a
// finite number: values that are each finite can still add up to an infinity.
bool hasFiniteEdges(const NSRect& frame) {
  auto screen_height = firstScreenHeight().value_or(0);
  return std::isfinite(CGRectGetMinX(frame)) && std::isfinite(CGRectGetMaxX(frame)) &&
         std::isfinite(CGRectGetMinY(frame)) && std::isfinite(CGRectGetMaxY(frame)) &&
         std::isfinite(screen_height - frame.origin.y - frame.size.height);
}

// The title bar's container: the close button's superview's superview.
std::shared_ptr<NSView> titlebarContainer(NSWindow& window) {
  auto close_button = window.standardWindowButton(NSWindowCloseButton);
  auto titlebar = close_button ? close_button->superview() : nullptr;
  return titlebar ? titlebar->superview() : nullptr;
}

// The bar of the Dock tile: built on first use as the application icon with a bar along its
// bottom edge. Null when the tile shows a view of another kind.
std::shared_ptr<NSProgressIndicator> dockProgressIndicator(NSDockTile& tile) {
  auto& application = NSApplication::sharedApplication();
  auto content = tile.contentView();
  if (!content || content->subviews().empty()) {
    content = NSImageView::imageViewWithImage(application.applicationIconImage());
    tile.setContentView(content);
    auto bar = std::make_shared<NSProgressIndicator>(NSMakeRect(0, 0, tile.size().width, 15.0));
    bar->setStyle(NSProgressIndicatorStyleBar);
    bar->setIndeterminate(false);
    bar->setMinValue(0.0);
    bar->setMaxValue(1.0);
    bar->setHidden(false);
    content->addSubview(bar);
  }
  return std::dynamic_pointer_cast<NSProgressIndicator>(content->subviews().back());
}

}  // namespace

void WindowManager::setMainWindow(std::shared_ptr<NSWindow> window) {
  main_window_ = std::move(window);
  if (main_window_) main_window_->setDelegate(shared_from_this());
}

OperationError WindowManager::setPreventClose(WindowArguments arguments) {
  auto prevent = arguments.args.boolean("isPreventClose", arguments.errors);
  if (!prevent) return arguments.errors.error();
  prevent_close_ = *prevent;
  return std::nullopt;
}

OperationError WindowManager::setMaximizable(WindowArguments arguments) {
  auto maximizable = arguments.args.boolean("isMaximizable", arguments.errors);
  if (!maximizable) return arguments.errors.error();
  maximizable_ = *maximizable;
  return std::nullopt;
}

int64_t WindowManager::getId() const { return main_window_->windowNumber(); }

void WindowManager::setAsFrameless() {
  setStyleMask(*main_window_, true, NSWindowStyleMaskFullSizeContentView);
  main_window_->setTitleVisibility(NSWindowTitleHidden);
  main_window_->setOpaque(true);
  main_window_->setHasShadow(false);
  main_window_->setBackgroundColor(NSColor::clearColor());
  if ((main_window_->styleMask() & NSWindowStyleMaskTitled) != 0) {
    if (auto container = titlebarContainer(*main_window_)) container->setHidden(true);
  }
}

void WindowManager::destroy() { NSApplication::sharedApplication().terminate(); }

void WindowManager::close() { main_window_->performClose(); }

void WindowManager::focus() {
  NSApplication::sharedApplication().activateIgnoringOtherApps(false);
  main_window_->makeKeyAndOrderFront();
}

void WindowManager::blur() { main_window_->orderBack(); }

bool WindowManager::isFocused() const { return main_window_->isKeyWindow(); }

void WindowManager::show() {
  main_window_->setIsVisible(true);
  dispatch_async(dispatch_get_main_queue(), [self = shared_from_this()] {
    if (!self->main_window_) return;
    self->main_window_->makeKeyAndOrderFront();
    NSApplication::sharedApplication().activateIgnoringOtherApps(true);
  });
}

void WindowManager::hide() {
  dispatch_async(dispatch_get_main_queue(), [self = shared_from_this()] {
    if (self->main_window_) self->main_window_->orderOut();
  });
}

bool WindowManager::isVisible() const { return main_window_->isVisible(); }

bool WindowManager::isMaximized() const { return main_window_->isZoomed(); }

void WindowManager::maximize() {
  if (!main_window_->isZoomed()) main_window_->zoom();
}

void WindowManager::unmaximize() {
  if (main_window_->isZoomed()) main_window_->zoom();
}

bool WindowManager::isMinimized() const { return main_window_->isMiniaturized(); }

void WindowManager::minimize() { main_window_->miniaturize(); }

void WindowManager::restore() { main_window_->deminiaturize(); }

bool WindowManager::isFullScreen() const {
  return (main_window_->styleMask() & NSWindowStyleMaskFullScreen) != 0;
}

OperationError WindowManager::setFullScreen(WindowArguments arguments) {
  auto full_screen = arguments.args.boolean("isFullScreen", arguments.errors);
  if (!full_screen) return arguments.errors.error();
  if (*full_screen != isFullScreen()) main_window_->toggleFullScreen();
  return std::nullopt;
}

OperationError WindowManager::setAspectRatio(WindowArguments arguments) {
  NSWindowStyleMask mask = main_window_->styleMask();
  auto ratio = arguments.args.number("aspectRatio", arguments.errors);
  if (!ratio) return arguments.errors.error();
  // The user's resizing derives one side from the other by the ratio and by its inverse.
  if (*ratio > 0 && !(std::isfinite(*ratio) && std::isfinite(1 / *ratio))) {
    arguments.errors.reject("aspectRatio", "finite, with a finite inverse");
    return arguments.errors.error();
  }
  if (*ratio > 0) {
    if ((mask & NSWindowStyleMaskFullSizeContentView) != 0) {
      main_window_->setAspectRatio(CGSizeMake(*ratio, 1.0));
    } else {
      main_window_->setContentAspectRatio(CGSizeMake(*ratio, 1.0));
    }
  } else {
    // Zero, negative or NaN: no ratio at all.
    main_window_->setResizeIncrements(CGSizeMake(1.0, 1.0));
  }
  return std::nullopt;
}

OperationError WindowManager::setBackgroundColor(WindowArguments arguments) {
  std::optional<int64_t> components[4];
  const char* keys[4] = {"backgroundColorA", "backgroundColorR", "backgroundColorG",
                         "backgroundColorB"};
  for (int index = 0; index < 4; ++index) {
    components[index] = arguments.args.integer(keys[index], arguments.errors);
    if (!components[index]) return arguments.errors.error();
    if (*components[index] < 0 || *components[index] > 255) {
      arguments.errors.reject(keys[index], "an integer from 0 to 255");
      return arguments.errors.error();
    }
  }
  double a = *components[0], r = *components[1], g = *components[2], b = *components[3];
  NSColor color = (a == 0 && r == 0 && g == 0 && b == 0)
                      ? NSColor::clearColor()
                      : NSColor::colorWithRed(r / 255.0, g / 255.0, b / 255.0, a / 255.0);
  main_window_->setBackgroundColor(color);
  return std::nullopt;
}

FlutterMethodResponse WindowManager::getBounds() const {
  auto screen_height = firstScreenHeight();
  if (!screen_height) return flutter::noScreenError();
  NSRect frame = main_window_->frame();
  return flutter::Value(flutter::ValueMap{
      {"x", frame.origin.x},
      {"y", *screen_height - frame.origin.y - frame.size.height},
      {"width", frame.size.width},
      {"height", frame.size.height},
  });
}

OperationError WindowManager::setBounds(WindowArguments arguments) {
  // Every key that is given must be a usable number, even one whose partner is missing.
  std::optional<double> values[4];
  const char* keys[4] = {"x", "y", "width", "height"};
  for (int index = 0; index < 4; ++index) {
    if (!arguments.args.has(keys[index])) continue;
    values[index] = arguments.args.finiteNumber(keys[index], arguments.errors);
    if (!values[index]) return arguments.errors.error();
    if (index >= 2 && *values[index] < 0) {
      arguments.errors.reject(keys[index], "a number not below 0");
      return arguments.errors.error();
    }
  }
  const auto& [x, y, width, height] = values;
  bool animate = arguments.args.isTrue("animate");

  NSRect frame = main_window_->frame();
  if (width && height) {
    frame.origin.y += frame.size.height - *height;  // the top edge stays where it was
    frame.size = CGSizeMake(*width, *height);
  }
  if (x && y) {
    auto screen_height = firstScreenHeight();
    if (!screen_height) return flutter::noScreenError();
    frame.origin = CGPointMake(*x, *screen_height - *y - frame.size.height);
  }
  if (!hasFiniteEdges(frame)) {
    return FlutterError{kInvalidArgumentsCode,
                        "The bounds must keep every edge of the window a finite number",
                        flutter::Value()};
  }
  if (animate) {
    main_window_->setFrame(frame, true, true);
  } else {
    main_window_->setFrame(frame, true);
  }
  return std::nullopt;
}

OperationError WindowManager::setSize(WindowArguments& arguments,
                                      void (NSWindow::*setter)(NSSize)) {
  auto width = arguments.args.number("width", arguments.errors);
  auto height = arguments.args.number("height", arguments.errors);
  if (!width || !height) return arguments.errors.error();
  // Taken in single precision, as the platform's number objects hand out floats.
  NSSize size = CGSizeMake(static_cast<float>(*width), static_cast<float>(*height));
  for (auto [key, length] : {std::pair{"width", size.width}, std::pair{"height", size.height}}) {
    if (!std::isfinite(length) || length < 0) {
      arguments.errors.reject(key, "a finite number not below 0");
      return arguments.errors.error();
    }
  }
  ((*main_window_).*setter)(size);
  return std::nullopt;
}

OperationError WindowManager::setMinimumSize(WindowArguments arguments) {
  return setSize(arguments, &NSWindow::setMinSize);
}

OperationError WindowManager::setMaximumSize(WindowArguments arguments) {
  return setSize(arguments, &NSWindow::setMaxSize);
}

OperationError WindowManager::switchStyleBit(WindowArguments& arguments, const char* key,
                                             NSWindowStyleMask bit) {
  auto enabled = arguments.args.boolean(key, arguments.errors);
  if (!enabled) return arguments.errors.error();
  setStyleMask(*main_window_, *enabled, bit);
  return std::nullopt;
}

bool WindowManager::isResizable() const {
  return (main_window_->styleMask() & NSWindowStyleMaskResizable) != 0;
}

OperationError WindowManager::setResizable(WindowArguments arguments) {
  return switchStyleBit(arguments, "isResizable", NSWindowStyleMaskResizable);
}

bool WindowManager::isMovable() const { return main_window_->isMovable(); }

OperationError WindowManager::setMovable(WindowArguments arguments) {
  auto movable = arguments.args.boolean("isMovable", arguments.errors);
  if (!movable) return arguments.errors.error();
  main_window_->setMovable(*movable);
  return std::nullopt;
}

bool WindowManager::isMinimizable() const {
  return (main_window_->styleMask() & NSWindowStyleMaskMiniaturizable) != 0;
}

OperationError WindowManager::setMinimizable(WindowArguments arguments) {
  return switchStyleBit(arguments, "isMinimizable", NSWindowStyleMaskMiniaturizable);
}

bool WindowManager::isClosable() const {
  return (main_window_->styleMask() & NSWindowStyleMaskClosable) != 0;
}

OperationError WindowManager::setClosable(WindowArguments arguments) {
  return switchStyleBit(arguments, "isClosable", NSWindowStyleMaskClosable);
}

bool WindowManager::isAlwaysOnTop() const { return main_window_->level() == NSFloatingWindowLevel; }

OperationError WindowManager::setAlwaysOnTop(WindowArguments arguments) {
  auto on_top = arguments.args.boolean("isAlwaysOnTop", arguments.errors);
  if (!on_top) return arguments.errors.error();
  main_window_->setLevel(*on_top ? NSFloatingWindowLevel : NSNormalWindowLevel);
  if (mainWindowIsPanel())
    setStyleMask(*main_window_, *on_top, NSWindowStyleMaskNonactivatingPanel);
  return std::nullopt;
}

std::string WindowManager::getTitle() const { return main_window_->title(); }

OperationError WindowManager::setTitle(WindowArguments arguments) {
  auto title = arguments.args.string("title", arguments.errors);
  if (!title) return arguments.errors.error();
  main_window_->setTitle(std::move(*title));
  return std::nullopt;
}

OperationError WindowManager::setTitleBarStyle(WindowArguments arguments) {
  auto style = arguments.args.string("titleBarStyle", arguments.errors);
  auto buttons_visible = arguments.args.boolean("windowButtonVisibility", arguments.errors);
  if (!style || !buttons_visible) return arguments.errors.error();
  bool hidden = *style == "hidden";
  main_window_->setTitleVisibility(hidden ? NSWindowTitleHidden : NSWindowTitleVisible);
  main_window_->setTitlebarAppearsTransparent(hidden);
  setStyleMask(*main_window_, hidden, NSWindowStyleMaskFullSizeContentView);
  main_window_->setOpaque(false);
  main_window_->setHasShadow(true);
  // A window without a title bar has no container and no buttons to show.
  if (auto container = titlebarContainer(*main_window_)) container->setHidden(false);
  for (auto kind : {NSWindowCloseButton, NSWindowMiniaturizeButton, NSWindowZoomButton}) {
    if (auto button = main_window_->standardWindowButton(kind))
      button->setHidden(!*buttons_visible);
  }
  return std::nullopt;
}

int32_t WindowManager::getTitleBarHeight() const {
  NSRect frame = main_window_->frame();
  NSRect content = main_window_->contentRectForFrameRect(frame);
  return static_cast<int32_t>(frame.size.height - content.size.height);
}

bool WindowManager::isSkipTaskbar() const {
  return NSApplication::sharedApplication().activationPolicy() ==
         NSApplicationActivationPolicyAccessory;
}

OperationError WindowManager::setSkipTaskbar(WindowArguments arguments) {
  auto skip = arguments.args.boolean("isSkipTaskbar", arguments.errors);
  if (!skip) return arguments.errors.error();
  NSApplication::sharedApplication().setActivationPolicy(
      *skip ? NSApplicationActivationPolicyAccessory : NSApplicationActivationPolicyRegular);
  return std::nullopt;
}

OperationError WindowManager::setBadgeLabel(WindowArguments arguments) {
  auto label = arguments.args.string("label", arguments.errors);
  if (!label) return arguments.errors.error();
  NSApplication::sharedApplication().dockTile()->setBadgeLabel(std::move(*label));
  return std::nullopt;
}

OperationError WindowManager::setProgressBar(WindowArguments arguments) {
  auto progress = arguments.args.number("progress", arguments.errors);
  if (!progress) return arguments.errors.error();
  if (std::isnan(*progress)) {
    arguments.errors.reject("progress", "a number, not NaN");
    return arguments.errors.error();
  }
  auto tile = NSApplication::sharedApplication().dockTile();
  auto bar = dockProgressIndicator(*tile);
  if (!bar) {
    return FlutterError{kDockTileInUseCode, "The Dock tile shows a view of another kind",
                        flutter::Value()};
  }
  if (*progress < 0) {
    bar->setHidden(true);
  } else {
    bar->setHidden(false);
    if (*progress > 1) {
      bar->setIndeterminate(true);
      bar->setDoubleValue(1.0);
    } else {
      // A value in range shows that value, also after an indeterminate phase.
      bar->setIndeterminate(false);
      bar->setDoubleValue(*progress);
    }
  }
  tile->display();
  return std::nullopt;
}

bool WindowManager::isVisibleOnAllWorkspaces() const {
  return (main_window_->collectionBehavior() & NSWindowCollectionBehaviorCanJoinAllSpaces) != 0;
}

OperationError WindowManager::setVisibleOnAllWorkspaces(WindowArguments arguments) {
  auto visible = arguments.args.boolean("visible", arguments.errors);
  auto on_full_screen = arguments.args.boolean("visibleOnFullScreen", arguments.errors);
  if (!visible || !on_full_screen) return arguments.errors.error();
  setCollectionBehavior(*main_window_, *visible, NSWindowCollectionBehaviorCanJoinAllSpaces);
  setCollectionBehavior(*main_window_, *on_full_screen,
                        NSWindowCollectionBehaviorFullScreenAuxiliary);
  return std::nullopt;
}

bool WindowManager::hasShadow() const { return main_window_->hasShadow(); }

OperationError WindowManager::setHasShadow(WindowArguments arguments) {
  auto shadow = arguments.args.boolean("hasShadow", arguments.errors);
  if (!shadow) return arguments.errors.error();
  main_window_->setHasShadow(*shadow);
  main_window_->invalidateShadow();
  return std::nullopt;
}

double WindowManager::getOpacity() const { return main_window_->alphaValue(); }

OperationError WindowManager::setOpacity(WindowArguments arguments) {
  auto opacity = arguments.args.finiteNumber("opacity", arguments.errors);
  if (!opacity) return arguments.errors.error();
  main_window_->setAlphaValue(*opacity);
  return std::nullopt;
}

OperationError WindowManager::setBrightness(WindowArguments arguments) {
  auto brightness = arguments.args.string("brightness", arguments.errors);
  if (!brightness) return arguments.errors.error();
  main_window_->setAppearance(NSAppearance::appearanceNamed(
      *brightness == "dark" ? NSAppearanceNameVibrantDark : NSAppearanceNameVibrantLight));
  main_window_->invalidateShadow();
  return std::nullopt;
}

OperationError WindowManager::setIgnoreMouseEvents(WindowArguments arguments) {
  auto ignore = arguments.args.boolean("ignore", arguments.errors);
  auto forward = arguments.args.boolean("forward", arguments.errors);
  if (!ignore || !forward) return arguments.errors.error();
  main_window_->setIgnoresMouseEvents(*ignore);
  main_window_->setAcceptsMouseMovedEvents(*ignore && *forward);
  return std::nullopt;
}

void WindowManager::startDragging() {
  dispatch_async(dispatch_get_main_queue(), [self = shared_from_this()] {
    if (!self->main_window_) return;
    if (auto event = self->main_window_->currentEvent()) {
      self->main_window_->performWindowDragWithEvent(event);
    }
  });
}

bool WindowManager::mainWindowIsPanel() const {
  return dynamic_cast<const NSPanel*>(main_window_.get()) != nullptr;
}

}  // namespace window_control
