#include "plugins/device_udid/device_udid_plugin.h"

#include <chrono>
#include <optional>
#include <utility>

#include "platform/foundation/ns_bundle.h"
#include "platform/iokit/io_kit_lib.h"
#include "platform/security/keychain_transaction.h"
#include "plugins/keychain_bridge/keychain.h"

namespace device_udid {
namespace {

using keychain_bridge::Keychain;
using keychain_bridge::KeychainError;

constexpr const char* kService = "com.velmora.device_udid";
constexpr const char* kAccount = "udid";
constexpr const char* kLegacyDefaultService = "device_udid";
constexpr const char* kLegacyDefaultAccount = "com.default.app";
// How long a request waits at most for a keychain that others hold.
constexpr auto kKeychainWait = std::chrono::seconds(5);

FlutterError unavailable(std::string details) {
  return FlutterError{"UNAVAILABLE", "UDID not available", flutter::Value(std::move(details))};
}

Keychain keychainFor(const std::string& service) {
  return Keychain::withService(service).synchronizable(false);
}

std::string legacyService(const NSBundle* bundle) {
  if (bundle == nullptr || bundle->infoDictionary().empty()) return kLegacyDefaultService;
  const PropertyList* value = bundle->objectForInfoDictionaryKey(kLegacyServiceInfoKey);
  if (value == nullptr || value->asString() == nullptr) return kLegacyDefaultService;
  return *value->asString();
}

// Copies a non-empty older identifier to the current item and gives it back.
keychain_bridge::Result<std::optional<std::string>> migrateLegacyUdid(const Keychain& current) {
  auto bundle = NSBundle::mainBundle();
  std::string account =
      bundle ? bundle->bundleIdentifier().value_or(kLegacyDefaultAccount) : kLegacyDefaultAccount;
  auto legacy = keychainFor(legacyService(bundle.get())).get(account, true);
  if (!legacy.ok()) return legacy.error();
  if (!legacy.value() || legacy.value()->empty()) return std::optional<std::string>();
  // The older item stays as it is, so a request that finds the current one empty reads it again.
  auto written = current.set(*legacy.value(), kAccount, true);
  if (!written.ok()) return written.error();
  return legacy.value();
}

std::optional<std::string> hardwareUUID() {
  io_service_t service = IOServiceGetMatchingService(kIOMasterPortDefault,
                                                     IOServiceMatching("IOPlatformExpertDevice"));
  if (service == IO_OBJECT_NULL) return std::nullopt;
  auto uuid = IORegistryEntryCreateCFProperty(service, kIOPlatformUUIDKey);
  IOObjectRelease(service);
  return uuid;
}

// The stored identifier, made and stored first when there is none.
FlutterMethodResponse storedOrNewUdid() {
  Keychain current = keychainFor(kService);
  auto stored = current.get(kAccount, true);
  if (!stored.ok()) {
    return unavailable("keychain_get_failed: " + stored.error().localizedDescription());
  }
  // A missing item and an empty one are alike: both are (re)filled below.
  if (stored.value() && !stored.value()->empty()) {
    return flutter::Value(*stored.value());
  }
  auto migrated = migrateLegacyUdid(current);
  if (!migrated.ok()) {
    return unavailable("keychain_migration_failed: " + migrated.error().localizedDescription());
  }
  if (migrated.value()) {
    return flutter::Value(*migrated.value());
  }
  auto uuid = hardwareUUID();
  if (!uuid || uuid->empty()) {
    return unavailable("hardwareUUID returned nil or empty");
  }
  auto written = current.set(*uuid, kAccount, true);
  if (!written.ok()) {
    return unavailable("keychain_set_failed: " + written.error().localizedDescription());
  }
  return flutter::Value(*uuid);
}

}  // namespace

void DeviceUdidPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel = FlutterMethodChannel::methodChannelWithName(kChannelName, registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<DeviceUdidPlugin>(), channel);
}

DeviceUdidPlugin::DeviceUdidPlugin()
    : keychain_queue_(dispatch_queue_create(kSerialQueueLabel, DISPATCH_QUEUE_SERIAL)) {}

const std::map<std::string, DeviceUdidPlugin::Method>& DeviceUdidPlugin::methods() {
  static const auto* const table = new std::map<std::string, Method>{
      {"getUDID", &DeviceUdidPlugin::getOrCreateUdid},
  };
  return *table;
}

void DeviceUdidPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  auto found = methods().find(call.method);
  if (found == methods().end()) {
    result(FlutterMethodNotImplemented);
    return;
  }
  (this->*found->second)(result);
}

void DeviceUdidPlugin::getOrCreateUdid(const FlutterResult& result) {
  // The wait is counted from the request's arrival, so that requests queued before it, and the
  // keychain's other calls, never add theirs to its own.
  const auto deadline = std::chrono::steady_clock::now() + kKeychainWait;
  dispatch_async(keychain_queue_, [result, deadline] {
    auto answer = [&] {
      security::KeychainWaitDeadline bounded(deadline);
      return storedOrNewUdid();
    }();
    dispatch_async(dispatch_get_main_queue(), [result, answer = std::move(answer)] {
      std::visit([&](const auto& response) { result(response); }, answer);
    });
  });
}

}  // namespace device_udid
