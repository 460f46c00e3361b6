// The device-identifier plug-in: one identifier for the machine and the application that stays
// the same across launches. The first request stores the platform UUID in the keychain (or
// carries over an identifier stored under the older naming); later requests read it back.
// Synchronous, on the main thread.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/flutter/flutter_plugin.h"
#include "plugins/keychain_bridge/keychain.h"

namespace device_udid {

inline constexpr const char* kChannelName = "device_udid";
// The information-dictionary key whose string value names the older item's service.
inline constexpr const char* kLegacyServiceInfoKey = "DeviceUDIDLegacyKeychainService";

class DeviceUdidPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

 private:
  using Method = void (DeviceUdidPlugin::*)(const FlutterResult&);
  static const std::map<std::string, Method>& methods();

  // Answers exactly once, with the identifier or an "UNAVAILABLE" error.
  void getOrCreateUdid(const FlutterResult& result);
  // Copies a non-empty older identifier to the current item and gives it back.
  keychain_bridge::Result<std::optional<std::string>> migrateLegacyUdid(
      const keychain_bridge::Keychain& current);
  std::optional<std::string> hardwareUUID();
};

}  // namespace device_udid
