#include "plugins/package_info_macos/package_info_macos_plugin.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_file_manager.h"
#include "platform/foundation/ns_process_info.h"

namespace package_info_macos {
namespace {

constexpr const char* kSandboxVariable = "APP_SANDBOX_CONTAINER_ID";

flutter::Value stringOrNull(const std::optional<std::string>& text) {
  return text ? flutter::Value(*text) : flutter::Value();
}

flutter::Value infoString(const NSBundle* bundle, const std::string& key) {
  if (bundle == nullptr) return flutter::Value();
  const PropertyList* value = bundle->objectForInfoDictionaryKey(key);
  if (value == nullptr || value->asString() == nullptr) return flutter::Value();
  return flutter::Value(*value->asString());
}

std::optional<NSDate> dateAttribute(const std::string& path, const NSFileAttributeKey& key) {
  auto attributes = NSFileManager::defaultManager()->attributesOfItemAtPath(path);
  if (!attributes) return std::nullopt;
  auto found = attributes->find(key);
  if (found == attributes->end()) return std::nullopt;
  if (const auto* date = std::get_if<NSDate>(&found->second)) return *date;
  return std::nullopt;
}

}  // namespace

void PackageInfoMacosPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel = FlutterMethodChannel::methodChannelWithName(kChannelName, registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<PackageInfoMacosPlugin>(), channel);
}

void PackageInfoMacosPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  if (call.method != "getAll") {
    result(FlutterMethodNotImplemented);
    return;
  }
  auto installTime = getTimeMillisStringFromDate(getInstallDate());
  auto updateTime = getTimeMillisStringFromDate(getUpdateDate());
  auto bundle = NSBundle::mainBundle();
  flutter::Value appName = infoString(bundle.get(), "CFBundleDisplayName");
  if (appName.isNull()) appName = infoString(bundle.get(), "CFBundleName");
  flutter::Value packageName =
      bundle ? stringOrNull(bundle->bundleIdentifier()) : flutter::Value();
  result(flutter::Value(flutter::ValueMap{
      {"appName", appName},
      {"packageName", packageName},
      {"version", infoString(bundle.get(), "CFBundleShortVersionString")},
      {"buildNumber", infoString(bundle.get(), "CFBundleVersion")},
      {"installerStore", flutter::Value()},
      {"installTime", stringOrNull(installTime ? installTime : updateTime)},
      {"updateTime", stringOrNull(updateTime)},
  }));
}

bool PackageInfoMacosPlugin::isRunningInSandbox() {
  return NSProcessInfo::processInfo().environment().contains(kSandboxVariable);
}

std::optional<NSDate> PackageInfoMacosPlugin::getInstallDate() {
  if (!isRunningInSandbox()) return std::nullopt;
  auto urls = NSFileManager::defaultManager()->URLsForDirectory(NSDocumentDirectory,
                                                                NSUserDomainMask);
  if (urls.empty()) return std::nullopt;
  return dateAttribute(urls.back().path(), NSFileCreationDate);
}

std::optional<NSDate> PackageInfoMacosPlugin::getUpdateDate() {
  auto bundle = NSBundle::mainBundle();
  if (!bundle) return std::nullopt;
  return dateAttribute(bundle->bundlePath(), NSFileModificationDate);
}

std::optional<std::string> PackageInfoMacosPlugin::getTimeMillisStringFromDate(
    const std::optional<NSDate>& date) {
  if (!date) return std::nullopt;
  double millis = std::trunc(date->timeIntervalSince1970() * 1000.0);
  if (std::isnan(millis)) return std::nullopt;
  // 2^63 is exactly representable; anything at or past it does not fit a signed 64-bit integer.
  constexpr double kLimit = 9223372036854775808.0;
  int64_t whole;
  if (millis >= kLimit) {
    whole = std::numeric_limits<int64_t>::max();
  } else if (millis < -kLimit) {
    whole = std::numeric_limits<int64_t>::min();
  } else {
    whole = static_cast<int64_t>(millis);
  }
  return std::to_string(whole);
}

}  // namespace package_info_macos
