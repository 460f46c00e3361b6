#include "plugins/device_info_macos/device_info_macos_plugin.h"

#include <limits>

#include "platform/foundation/ns_host.h"
#include "platform/foundation/ns_process_info.h"
#include "plugins/device_info_macos/mac_model_names.h"
#include "plugins/device_info_macos/sysctl.h"
#include "plugins/device_info_macos/system_uuid.h"

namespace device_info_macos {
namespace {

// The wire has no unsigned integers; a size beyond the signed range is capped rather than
// turned negative.
int64_t clampedToInt64(uint64_t value) {
  constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  return static_cast<int64_t>(value > kMax ? kMax : value);
}

std::string computerName() {
  auto name = NSHost::currentHost()->localizedName();
  return name ? *name : Sysctl::hostName();
}

}  // namespace

void DeviceInfoMacosPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel = FlutterMethodChannel::methodChannelWithName(kChannelName, registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<DeviceInfoMacosPlugin>(), channel);
}

void DeviceInfoMacosPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  if (call.method != "getDeviceInfo") {
    result(FlutterMethodNotImplemented);
    return;
  }
  result(flutter::Value(deviceInfoDictionary()));
}

flutter::ValueMap DeviceInfoMacosPlugin::deviceInfoDictionary() {
  const NSProcessInfo& process = NSProcessInfo::processInfo();
  NSOperatingSystemVersion version = process.operatingSystemVersion();
  auto uuid = SystemUUID::getSystemUUID();
  return flutter::ValueMap{
      {"computerName", computerName()},
      // The kernel's type name, as the Dart side has always received it under this key.
      {"hostName", Sysctl::osType()},
      {"arch", Sysctl::machine()},
      {"model", Sysctl::model()},
      {"modelName", marketingName(Sysctl::model())},
      {"kernelVersion", Sysctl::version()},
      {"osRelease", process.operatingSystemVersionString()},
      {"majorVersion", static_cast<int64_t>(version.majorVersion)},
      {"minorVersion", static_cast<int64_t>(version.minorVersion)},
      {"patchVersion", static_cast<int64_t>(version.patchVersion)},
      {"activeCPUs", Sysctl::activeCPUs()},
      {"memorySize", clampedToInt64(Sysctl::memSize())},
      {"cpuFrequency", Sysctl::cpuFreq()},
      {"systemGUID", uuid ? flutter::Value(*uuid) : flutter::Value()},
  };
}

}  // namespace device_info_macos
