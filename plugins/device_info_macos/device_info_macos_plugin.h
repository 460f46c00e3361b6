// The device-information plug-in: one call, "getDeviceInfo" on "dev.velmora.desktop/device_info",
// answers a map of 14 facts about the machine and the operating system, read afresh each time.
// Failed reads become "", 0 or null; the call never answers an error. Main thread only.
#pragma once

#include "platform/flutter/flutter.h"

namespace device_info_macos {

inline constexpr const char* kChannelName = "dev.velmora.desktop/device_info";

class DeviceInfoMacosPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

  static flutter::ValueMap deviceInfoDictionary();
};

}  // namespace device_info_macos
