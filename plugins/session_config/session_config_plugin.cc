#include "plugins/session_config/session_config_plugin.h"

#include <variant>

#include "plugins/session_config/session_config_store.h"

namespace session_config {
namespace {

using flutter::Value;
using flutter::ValueList;

// "setConfiguration" carries a list whose first element is the configuration.
std::variant<Value, FlutterError> configurationArgument(const Value& arguments) {
  const ValueList* list = arguments.asList();
  if (list == nullptr || list->empty()) {
    return FlutterError{kBadArgumentsCode,
                        "setConfiguration expects a list whose first element is the configuration",
                        nullptr};
  }
  return list->front();
}

}  // namespace

void SessionConfigPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto& store = SessionConfigStore::shared();
  auto instance = std::make_shared<SessionConfigPlugin>(registrar);
  registrar.addMethodCallDelegate(instance, instance->channel());
  store.add(std::move(instance));
}

SessionConfigPlugin::SessionConfigPlugin(FlutterPluginRegistrar& registrar)
    : channel_(FlutterMethodChannel::methodChannelWithName(kChannelName, registrar.messenger())) {}

const std::map<std::string, SessionConfigPlugin::Method>& SessionConfigPlugin::methods() {
  static const std::map<std::string, Method> kMethods = {
      {"setConfiguration", &SessionConfigPlugin::setConfiguration},
      {"getConfiguration", &SessionConfigPlugin::getConfiguration},
  };
  return kMethods;
}

void SessionConfigPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  auto method = methods().find(call.method);
  if (method == methods().end()) {
    result(FlutterMethodNotImplemented);
    return;
  }
  (this->*method->second)(call, result);
}

void SessionConfigPlugin::setConfiguration(const FlutterMethodCall& call,
                                           const FlutterResult& result) {
  auto configuration = configurationArgument(call.arguments);
  if (auto* error = std::get_if<FlutterError>(&configuration)) {
    result(*error);
    return;
  }
  const Value& stored = std::get<Value>(configuration);
  for (const auto& instance : SessionConfigStore::shared().setConfiguration(stored)) {
    instance->channel()->invokeMethod("onConfigurationChanged", Value(ValueList{stored}));
  }
  result(nullptr);
}

void SessionConfigPlugin::getConfiguration(const FlutterMethodCall&, const FlutterResult& result) {
  result(SessionConfigStore::shared().configuration());
}

}  // namespace session_config
