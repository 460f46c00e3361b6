// Stand-in for the plug-in of the separate framework "media_video": it accepts its registration.
#pragma once

#include "platform/flutter/flutter_plugin.h"

class MediaVideoPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);
};
