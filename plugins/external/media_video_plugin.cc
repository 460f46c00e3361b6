#include "plugins/external/media_video_plugin.h"

#include "platform/foundation/ns_log.h"

void MediaVideoPlugin::registerWithRegistrar(FlutterPluginRegistrar& /*registrar*/) {
  NSLog("MediaVideoPlugin registered (framework media_video is not part of this build)");
}
