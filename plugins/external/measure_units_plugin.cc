#include "plugins/external/measure_units_plugin.h"

#include "platform/foundation/ns_log.h"

void MeasureUnitsPlugin::registerWithRegistrar(FlutterPluginRegistrar& /*registrar*/) {
  NSLog("MeasureUnitsPlugin registered (framework measure_units is not part of this build)");
}
