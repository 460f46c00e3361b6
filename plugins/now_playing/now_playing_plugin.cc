#include "plugins/now_playing/now_playing_plugin.h"

#include <mutex>

namespace now_playing {
namespace {

using flutter::Value;
using flutter::ValueMap;

// The process's bridge, made by the first registration; never destroyed.
struct ProcessState {
  std::mutex registration;
  std::shared_ptr<NowPlayingBridge> bridge;
};

ProcessState& processState() {
  static auto* const state = new ProcessState();
  return *state;
}

Value emptyMap() { return Value(ValueMap{}); }

}  // namespace

void NowPlayingPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto& process = processState();
  std::lock_guard lock(process.registration);
  std::shared_ptr<FlutterMethodChannel> handler_channel;
  if (!process.bridge) {
    handler_channel =
        FlutterMethodChannel::methodChannelWithName(kHandlerChannelName, registrar.messenger());
    process.bridge = std::make_shared<NowPlayingBridge>(handler_channel);
  }
  auto instance = std::make_shared<NowPlayingPlugin>(registrar, process.bridge);
  registrar.addMethodCallDelegate(instance, instance->channel());
  if (handler_channel) registrar.addMethodCallDelegate(instance, handler_channel);
}

NowPlayingPlugin::NowPlayingPlugin(FlutterPluginRegistrar& registrar,
                                   std::shared_ptr<NowPlayingBridge> bridge)
    : channel_(
          FlutterMethodChannel::methodChannelWithName(kClientChannelName, registrar.messenger())),
      bridge_(std::move(bridge)) {}

const std::map<std::string, NowPlayingPlugin::Method>& NowPlayingPlugin::methods() {
  static const std::map<std::string, Method> kMethods = {
      {"configure", &NowPlayingPlugin::configure},
      {"setState", &NowPlayingPlugin::setState},
      {"setQueue", &NowPlayingPlugin::acknowledge},
      {"setMediaItem", &NowPlayingPlugin::setMediaItem},
      {"setPlaybackInfo", &NowPlayingPlugin::acknowledge},
      {"notifyChildrenChanged", &NowPlayingPlugin::acknowledge},
      {"androidForceEnableMediaButtons", &NowPlayingPlugin::acknowledge},
      {"stopService", &NowPlayingPlugin::stopService},
  };
  return kMethods;
}

void NowPlayingPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  auto method = methods().find(call.method);
  // An unknown name gets no answer at all, as the Dart side of this bridge expects.
  if (method == methods().end()) return;
  (this->*method->second)(call, result);
}

void NowPlayingPlugin::configure(const FlutterMethodCall& call, const FlutterResult& result) {
  NowPlayingArguments arguments(call.arguments);
  auto intervals = arguments.intervals();
  if (arguments.error()) {
    result(*arguments.error());
    return;
  }
  bridge_->configure(intervals);
  result(emptyMap());
}

void NowPlayingPlugin::setState(const FlutterMethodCall& call, const FlutterResult& result) {
  NowPlayingArguments arguments(call.arguments);
  auto state = arguments.playbackState();
  if (arguments.error()) {
    result(*arguments.error());
    return;
  }
  bridge_->setState(state);
  result(emptyMap());
}

void NowPlayingPlugin::setMediaItem(const FlutterMethodCall& call, const FlutterResult& result) {
  NowPlayingArguments arguments(call.arguments);
  auto item = arguments.mediaItem();
  if (arguments.error()) {
    result(*arguments.error());
    return;
  }
  bridge_->setMediaItem(std::move(item), [result] { result(emptyMap()); });
}

void NowPlayingPlugin::stopService(const FlutterMethodCall&, const FlutterResult& result) {
  bridge_->stopService();
  result(emptyMap());
}

void NowPlayingPlugin::acknowledge(const FlutterMethodCall&, const FlutterResult& result) {
  result(emptyMap());
}

}  // namespace now_playing
