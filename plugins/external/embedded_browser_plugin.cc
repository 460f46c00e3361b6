#include "plugins/external/embedded_browser_plugin.h"

#include "platform/foundation/ns_log.h"

EmbeddedBrowserPlugin::EmbeddedBrowserPlugin(FlutterPluginRegistrar& /*registrar*/) {
  ++live_instances_;
  NSLog("EmbeddedBrowserPlugin created (framework embedded_browser_macos is not part of this build)");
}

EmbeddedBrowserPlugin::~EmbeddedBrowserPlugin() { --live_instances_; }
