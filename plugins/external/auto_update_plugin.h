// Stand-in for the plug-in of the separate framework "auto_update": it accepts its registration.
#pragma once

#include "platform/flutter/flutter_plugin.h"

class AutoUpdatePlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);
};
