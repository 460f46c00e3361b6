// Stand-in for the plug-in of the separate framework "media_engine": it accepts its registration.
#pragma once

#include "platform/flutter/flutter_plugin.h"

class MediaEnginePlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);
};
