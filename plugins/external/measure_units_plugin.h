// Stand-in for the plug-in of the separate framework "measure_units": it accepts its registration.
#pragma once

#include "platform/flutter/flutter_plugin.h"

class MeasureUnitsPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);
};
