// The connectivity plug-in: "check" on "dev.velmora.desktop/connectivity" answers the current
// connection kinds as a list of names; "dev.velmora.desktop/connectivity_status" sends that list
// on listen and at every change until cancelled. Events are sent on the main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/flutter/flutter.h"
#include "plugins/connectivity_macos/connectivity_provider.h"

namespace connectivity_macos {

inline constexpr const char* kMethodChannelName = "dev.velmora.desktop/connectivity";
inline constexpr const char* kEventChannelName = "dev.velmora.desktop/connectivity_status";

class ConnectivityMacosPlugin : public FlutterPlugin,
                                public FlutterStreamHandler,
                                public std::enable_shared_from_this<ConnectivityMacosPlugin> {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  explicit ConnectivityMacosPlugin(std::shared_ptr<ConnectivityProvider> provider);

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;
  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

  // Sends the list from the main queue, if the Dart side still listens by then.
  void sendConnectivityEvent(std::vector<ConnectivityType> types);

 private:
  using Method = void (ConnectivityMacosPlugin::*)(const FlutterResult&);
  static const std::map<std::string, Method>& methods();

  void check(const FlutterResult& result);

  const std::shared_ptr<ConnectivityProvider> connectivity_provider_;
  FlutterEventSink event_sink_;
};

}  // namespace connectivity_macos
