// Holds the application's main window, carries out every window operation of "window_control",
// and, as the window's delegate, turns its changes into named events for the Dart side.
//
// Positions exchanged with the Dart side are measured from the top-left corner of the first
// screen, y growing downward. Operations on the window must only be called once a main window is
// set; the plug-in checks that before dispatching. Everything runs on the main thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/appkit/ns_window.h"
#include "platform/flutter/flutter.h"
#include "plugins/window_control/window_arguments.h"

namespace window_control {

// What an operation that can fail answers: nothing on success, or the error to send.
using OperationError = std::optional<FlutterError>;

class WindowManager : public NSWindowDelegate, public std::enable_shared_from_this<WindowManager> {
 public:
  // Receives the name of each window event.
  std::function<void(const std::string& eventName)> onEvent;

  // Null until set. Setting it makes this manager the window's delegate; the manager keeps the
  // window.
  std::shared_ptr<NSWindow> mainWindow() const { return main_window_; }
  void setMainWindow(std::shared_ptr<NSWindow> window);

  // Flags that the delegate callbacks read.
  bool isPreventClose() const { return prevent_close_; }
  OperationError setPreventClose(WindowArguments arguments);
  bool isMaximizable() const { return maximizable_; }
  OperationError setMaximizable(WindowArguments arguments);

  void waitUntilReadyToShow() {}
  int64_t getId() const;
  void setAsFrameless();
  void destroy();
  void close();
  void focus();
  void blur();
  bool isFocused() const;
  void show();
  void hide();
  bool isVisible() const;
  bool isMaximized() const;
  void maximize();
  void unmaximize();
  bool isMinimized() const;
  void minimize();
  void restore();
  bool isDockable() const { return false; }
  int32_t isDocked() const { return 0; }
  void dock() {}
  void undock() {}
  bool isFullScreen() const;
  OperationError setFullScreen(WindowArguments arguments);
  OperationError setAspectRatio(WindowArguments arguments);
  OperationError setBackgroundColor(WindowArguments arguments);
  // {"x", "y", "width", "height"}, or the error "NO_SCREEN".
  FlutterMethodResponse getBounds() const;
  OperationError setBounds(WindowArguments arguments);
  OperationError setMinimumSize(WindowArguments arguments);
  OperationError setMaximumSize(WindowArguments arguments);
  bool isResizable() const;
  OperationError setResizable(WindowArguments arguments);
  bool isMovable() const;
  OperationError setMovable(WindowArguments arguments);
  bool isMinimizable() const;
  OperationError setMinimizable(WindowArguments arguments);
  bool isClosable() const;
  OperationError setClosable(WindowArguments arguments);
  bool isAlwaysOnTop() const;
  OperationError setAlwaysOnTop(WindowArguments arguments);
  std::string getTitle() const;
  OperationError setTitle(WindowArguments arguments);
  OperationError setTitleBarStyle(WindowArguments arguments);
  int32_t getTitleBarHeight() const;
  bool isSkipTaskbar() const;
  OperationError setSkipTaskbar(WindowArguments arguments);
  OperationError setBadgeLabel(WindowArguments arguments);
  OperationError setProgressBar(WindowArguments arguments);
  bool isVisibleOnAllWorkspaces() const;
  OperationError setVisibleOnAllWorkspaces(WindowArguments arguments);
  bool hasShadow() const;
  OperationError setHasShadow(WindowArguments arguments);
  double getOpacity() const;
  OperationError setOpacity(WindowArguments arguments);
  OperationError setBrightness(WindowArguments arguments);
  OperationError setIgnoreMouseEvents(WindowArguments arguments);
  void startDragging();

  // The window's delegate callbacks; each sends its events before it returns.
  bool windowShouldClose(NSWindow& sender) override;
  bool windowShouldZoom(NSWindow& window, NSRect newFrame) override;
  void windowDidResize(const NSNotification& notification) override;
  void windowDidEndLiveResize(const NSNotification& notification) override;
  void windowWillMove(const NSNotification& notification) override;
  void windowDidMove(const NSNotification& notification) override;
  void windowDidBecomeKey(const NSNotification& notification) override;
  void windowDidResignKey(const NSNotification& notification) override;
  void windowDidBecomeMain(const NSNotification& notification) override;
  void windowDidResignMain(const NSNotification& notification) override;
  void windowDidMiniaturize(const NSNotification& notification) override;
  void windowDidDeminiaturize(const NSNotification& notification) override;
  void windowDidEnterFullScreen(const NSNotification& notification) override;
  void windowDidExitFullScreen(const NSNotification& notification) override;

 private:
  // Sets one style-mask bit from a Boolean argument.
  OperationError switchStyleBit(WindowArguments& arguments, const char* key, NSWindowStyleMask bit);
  OperationError setSize(WindowArguments& arguments, void (NSWindow::*setter)(NSSize));
  bool mainWindowIsPanel() const;
  void emitWindowEvent(const std::string& eventName);

  std::shared_ptr<NSWindow> main_window_;
  bool prevent_close_ = false;
  bool maximized_ = false;
  bool maximizable_ = true;
};

}  // namespace window_control
