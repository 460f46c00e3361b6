// The window-management plug-in: lets the Dart side control the application's main window over
// the method channel "window_control", and reports that window's events back over the same
// channel as calls of the Dart-side method "onEvent" ({"eventName": name}).
//
// Calls that touch the window need "ensureInitialized" to have bound the window of the Flutter
// view first; before that they answer the error "NO_WINDOW". Bad arguments answer
// "INVALID_ARGUMENTS", bounds without a screen "NO_SCREEN".
#pragma once

#include <memory>
#include <optional>

#include "platform/flutter/flutter.h"
#include "plugins/window_control/window_manager.h"

namespace window_control {

class WindowControlPlugin : public FlutterPlugin,
                            public std::enable_shared_from_this<WindowControlPlugin> {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  WindowControlPlugin(std::weak_ptr<FlutterViewController> viewController,
                      std::shared_ptr<FlutterMethodChannel> channel);

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

  // Binds the Flutter view's window as the main window, once; the error "NO_WINDOW" when the view
  // is in no window (a later call tries again).
  std::optional<FlutterError> ensureInitialized();
  // Sends one window event to the Dart side, without waiting for its answer.
  void emitEvent(const std::string& eventName);

  WindowManager& windowManager() { return *window_manager_; }

 private:
  // The registrar is not kept (the registrant releases it): the view is reached through the
  // controller, held weakly since the controller's engine holds this plug-in.
  std::weak_ptr<FlutterViewController> view_controller_;
  std::shared_ptr<FlutterMethodChannel> channel_;
  bool inited_ = false;
  std::shared_ptr<WindowManager> window_manager_ = std::make_shared<WindowManager>();
};

}  // namespace window_control
