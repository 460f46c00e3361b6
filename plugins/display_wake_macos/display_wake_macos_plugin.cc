#include "plugins/display_wake_macos/display_wake_macos_plugin.h"

#include <variant>

namespace display_wake_macos {
namespace {

constexpr const char* kAssertionName = "Disabling display sleep";

// The "toggle" argument, or the error that answers a call without a usable one.
std::variant<bool, FlutterError> readEnable(const flutter::Value& arguments) {
  const flutter::ValueMap* map = arguments.asMap();
  if (map == nullptr) {
    return FlutterError{"INVALID_ARGUMENTS", "toggle expects a map of arguments", nullptr};
  }
  const flutter::Value* enable = map->find(std::string_view(kEnableKey));
  if (enable == nullptr || !enable->is<bool>()) {
    return FlutterError{"INVALID_ARGUMENTS",
                        std::string("toggle expects a boolean under \"") + kEnableKey + "\"",
                        nullptr};
  }
  return enable->get<bool>();
}

}  // namespace

void DisplayWakeMacosPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel = FlutterMethodChannel::methodChannelWithName(kChannelName, registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<DisplayWakeMacosPlugin>(), channel);
}

const std::map<std::string, DisplayWakeMacosPlugin::Method>& DisplayWakeMacosPlugin::methods() {
  static const auto* const table = new std::map<std::string, Method>{
      {"toggle", &DisplayWakeMacosPlugin::toggle},
      {"enabled", &DisplayWakeMacosPlugin::enabled},
  };
  return *table;
}

void DisplayWakeMacosPlugin::handleMethodCall(const FlutterMethodCall& call,
                                              FlutterResult result) {
  auto found = methods().find(call.method);
  if (found == methods().end()) {
    result(FlutterMethodNotImplemented);
    return;
  }
  (this->*found->second)(call, result);
}

void DisplayWakeMacosPlugin::toggle(const FlutterMethodCall& call, const FlutterResult& result) {
  auto enable = readEnable(call.arguments);
  if (auto* error = std::get_if<FlutterError>(&enable)) {
    result(*error);
    return;
  }
  if (std::get<bool>(enable)) {
    this->enable();
  } else {
    disable();
  }
  // The outcome is learned from "enabled", not from this answer.
  result(flutter::Value(true));
}

void DisplayWakeMacosPlugin::enabled(const FlutterMethodCall& /*call*/,
                                     const FlutterResult& result) {
  result(flutter::Value(wakelock_enabled_));
}

void DisplayWakeMacosPlugin::enable() {
  if (wakelock_enabled_) return;
  IOReturn status = IOPMAssertionCreateWithName(
      kIOPMAssertionTypeNoDisplaySleep, kIOPMAssertionLevelOn, kAssertionName, &assertion_id_);
  wakelock_enabled_ = status == kIOReturnSuccess;
}

void DisplayWakeMacosPlugin::disable() {
  if (!wakelock_enabled_) return;
  IOPMAssertionRelease(assertion_id_);
  wakelock_enabled_ = false;
}

}  // namespace display_wake_macos
