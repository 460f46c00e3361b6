#include "plugins/external/media_engine_plugin.h"

#include "platform/foundation/ns_log.h"

void MediaEnginePlugin::registerWithRegistrar(FlutterPluginRegistrar& /*registrar*/) {
  NSLog("MediaEnginePlugin registered (framework media_engine is not part of this build)");
}
