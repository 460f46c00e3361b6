#include "plugins/connectivity_macos/connectivity_macos_plugin.h"

#include "platform/dispatch/dispatch.h"
#include "plugins/connectivity_macos/path_monitor_connectivity_provider.h"

namespace connectivity_macos {
namespace {

flutter::Value namesOf(const std::vector<ConnectivityType>& types) {
  flutter::ValueList names;
  for (const auto& name : connectivityTypeNames(types)) names.emplace_back(name);
  return flutter::Value(std::move(names));
}

}  // namespace

void ConnectivityMacosPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto messenger = registrar.messenger();
  auto methodChannel = FlutterMethodChannel::methodChannelWithName(kMethodChannelName, messenger);
  auto eventChannel = FlutterEventChannel::eventChannelWithName(kEventChannelName, messenger);
  auto provider = PathMonitorConnectivityProvider::create();
  auto plugin = std::make_shared<ConnectivityMacosPlugin>(provider);
  std::weak_ptr<ConnectivityMacosPlugin> weakPlugin = plugin;
  provider->setConnectivityUpdateHandler([weakPlugin](std::vector<ConnectivityType> types) {
    if (auto strong = weakPlugin.lock()) strong->sendConnectivityEvent(std::move(types));
  });
  eventChannel->setStreamHandler(plugin);
  registrar.addMethodCallDelegate(plugin, methodChannel);
}

ConnectivityMacosPlugin::ConnectivityMacosPlugin(std::shared_ptr<ConnectivityProvider> provider)
    : connectivity_provider_(std::move(provider)) {}

const std::map<std::string, ConnectivityMacosPlugin::Method>& ConnectivityMacosPlugin::methods() {
  static const auto* const table = new std::map<std::string, Method>{
      {"check", &ConnectivityMacosPlugin::check},
  };
  return *table;
}

void ConnectivityMacosPlugin::handleMethodCall(const FlutterMethodCall& call,
                                               FlutterResult result) {
  auto found = methods().find(call.method);
  if (found == methods().end()) {
    result(FlutterMethodNotImplemented);
    return;
  }
  (this->*found->second)(result);
}

void ConnectivityMacosPlugin::check(const FlutterResult& result) {
  result(namesOf(connectivity_provider_->currentConnectivityTypes()));
}

std::optional<FlutterError> ConnectivityMacosPlugin::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  event_sink_ = std::move(events);
  connectivity_provider_->start();
  sendConnectivityEvent(connectivity_provider_->currentConnectivityTypes());
  return std::nullopt;
}

std::optional<FlutterError> ConnectivityMacosPlugin::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  connectivity_provider_->stop();
  event_sink_ = nullptr;
  return std::nullopt;
}

void ConnectivityMacosPlugin::sendConnectivityEvent(std::vector<ConnectivityType> types) {
  std::weak_ptr<ConnectivityMacosPlugin> weakSelf = weak_from_this();
  dispatch_async(dispatch_get_main_queue(), [weakSelf, types = std::move(types)] {
    auto self = weakSelf.lock();
    if (!self || !self->event_sink_) return;
    self->event_sink_(namesOf(types));
  });
}

}  // namespace connectivity_macos
