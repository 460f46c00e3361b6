// Stand-in for the plug-in of the separate framework "embedded_browser_macos": the host creates it with a
// registrar and keeps no reference to it.
#pragma once

#include <atomic>

#include "platform/flutter/flutter_plugin.h"

class EmbeddedBrowserPlugin {
 public:
  explicit EmbeddedBrowserPlugin(FlutterPluginRegistrar& registrar);
  ~EmbeddedBrowserPlugin();
  EmbeddedBrowserPlugin(const EmbeddedBrowserPlugin&) = delete;
  EmbeddedBrowserPlugin& operator=(const EmbeddedBrowserPlugin&) = delete;

  // How many instances exist now; the framework's own accounting.
  static int liveInstances() { return live_instances_; }

 private:
  static inline std::atomic<int> live_instances_{0};
};
