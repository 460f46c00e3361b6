// The audio-session configuration store's plug-in: one instance per registration, all sharing the
// process's configuration. Setting it tells every instance's Dart side, the caller's included,
// before the caller hears back.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/flutter/flutter_plugin.h"

namespace session_config {

inline constexpr const char* kChannelName = "com.quillmark.session_config";
inline constexpr const char* kBadArgumentsCode = "bad_arguments";

class SessionConfigPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  // initWithRegistrar: opens the channel.
  explicit SessionConfigPlugin(FlutterPluginRegistrar& registrar);

  const std::shared_ptr<FlutterMethodChannel>& channel() const { return channel_; }

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

 private:
  using Method = void (SessionConfigPlugin::*)(const FlutterMethodCall&, const FlutterResult&);
  static const std::map<std::string, Method>& methods();

  void setConfiguration(const FlutterMethodCall& call, const FlutterResult& result);
  void getConfiguration(const FlutterMethodCall& call, const FlutterResult& result);

  std::shared_ptr<FlutterMethodChannel> channel_;
};

}  // namespace session_config
