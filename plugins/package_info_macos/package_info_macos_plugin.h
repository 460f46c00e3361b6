// The package-information plug-in: "getAll" on "dev.velmora.desktop/package_info" answers the
// application's name, identifier, version and build number from the main bundle, and its install
// and update times in milliseconds since 1970 as decimal text. Missing values are null; the call
// never answers an error. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "platform/flutter/flutter.h"
#include "platform/foundation/ns_date.h"

namespace package_info_macos {

inline constexpr const char* kChannelName = "dev.velmora.desktop/package_info";

class PackageInfoMacosPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

  // Sandboxed, the creation of the Documents directory; otherwise none.
  static std::optional<NSDate> getInstallDate();
  // The main bundle's modification date.
  static std::optional<NSDate> getUpdateDate();
  // Whole milliseconds since 1970, cut toward zero and held within the 64-bit range.
  static std::optional<std::string> getTimeMillisStringFromDate(const std::optional<NSDate>& date);
  static bool isRunningInSandbox();
};

}  // namespace package_info_macos
