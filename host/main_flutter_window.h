// The main window: on loading it installs a Flutter view controller, keeps its own frame and
// registers the plug-ins with the controller as their registry.
#pragma once

#include "platform/appkit/ns_window.h"
#include "platform/flutter/flutter_plugin.h"

class MainFlutterWindow : public NSWindow {
 public:
  using NSWindow::NSWindow;

  void awakeFromNib() override;

 protected:
  // Runs the plug-in registrant; a seam for tests that watch the start-up order.
  virtual void runPluginRegistrant(FlutterPluginRegistry& registry);
};
