// The one place where the host names its plug-ins.
#pragma once

#include "platform/flutter/flutter_plugin.h"

// Registers every plug-in with a registrar from `registry`, in the application's fixed order.
void registerPlugins(FlutterPluginRegistry& registry);
