#include "host/main_flutter_window.h"

#include "host/generated_plugin_registrant.h"
#include "platform/flutter/flutter_view_controller.h"

void MainFlutterWindow::awakeFromNib() {
  auto flutter_view_controller = std::make_shared<FlutterViewController>();
  NSRect window_frame = frame();
  setContentViewController(flutter_view_controller);
  // Installing the controller resized the window to the Flutter view; restore the frame.
  setFrame(window_frame, true);

  runPluginRegistrant(*flutter_view_controller);

  NSWindow::awakeFromNib();
}

void MainFlutterWindow::runPluginRegistrant(FlutterPluginRegistry& registry) {
  registerPlugins(registry);
}
