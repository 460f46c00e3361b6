// The device-identifier plug-in: one identifier for the machine and the application that stays
// the same across launches. The first request stores the platform UUID in the keychain (or
// carries over an identifier stored under the older naming); later requests read it back.
// The keychain work runs on the plug-in's serial queue, one request at a time in order of
// arrival, and each answer is given on the main queue, so a busy keychain never holds the main
// thread.
#pragma once

#include <map>
#include <string>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter_plugin.h"

namespace device_udid {

inline constexpr const char* kChannelName = "device_udid";
// The information-dictionary key whose string value names the older item's service.
inline constexpr const char* kLegacyServiceInfoKey = "DeviceUDIDLegacyKeychainService";
inline constexpr const char* kSerialQueueLabel = "device_udid_keychain";

class DeviceUdidPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  DeviceUdidPlugin();

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

 private:
  using Method = void (DeviceUdidPlugin::*)(const FlutterResult&);
  static const std::map<std::string, Method>& methods();

  // Answers exactly once, on the main queue, with the identifier or an "UNAVAILABLE" error.
  void getOrCreateUdid(const FlutterResult& result);

  const dispatch_queue_t keychain_queue_;
};

}  // namespace device_udid
