#include "plugins/external/auto_update_plugin.h"

#include "platform/foundation/ns_log.h"

void AutoUpdatePlugin::registerWithRegistrar(FlutterPluginRegistrar& /*registrar*/) {
  NSLog("AutoUpdatePlugin registered (framework auto_update is not part of this build)");
}
