// The display-wake plug-in: keeps the display from sleeping while the Dart side asks it to
// (method channel "display_wake_macos"). It holds at most one no-display-sleep power assertion
// and releases it only on request. Main thread only.
#pragma once

#include <map>
#include <string>

#include "platform/flutter/flutter.h"
#include "platform/iokit/io_pm_lib.h"

namespace display_wake_macos {

inline constexpr const char* kChannelName = "display_wake_macos";
// The one argument of "toggle": a boolean, true to keep the display awake.
inline constexpr const char* kEnableKey = "enable";

class DisplayWakeMacosPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

 private:
  using Method = void (DisplayWakeMacosPlugin::*)(const FlutterMethodCall&, const FlutterResult&);
  static const std::map<std::string, Method>& methods();

  void toggle(const FlutterMethodCall& call, const FlutterResult& result);
  void enabled(const FlutterMethodCall& call, const FlutterResult& result);

  // Creates the assertion unless one is held; holds it only when the platform grants it.
  void enable();
  void disable();

  bool wakelock_enabled_ = false;
  // The assertion last created; kept after release.
  IOPMAssertionID assertion_id_ = kIOPMNullAssertionID;
};

}  // namespace display_wake_macos
