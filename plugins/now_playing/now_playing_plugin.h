// The now-playing bridge's plug-in: one instance per registration, each with a client channel
// whose calls reach the same dispatcher as the process's one handler channel. All state is the
// process's (NowPlayingBridge). Unknown method names are deliberately left unanswered.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/flutter/flutter_plugin.h"
#include "plugins/now_playing/now_playing_bridge.h"

namespace now_playing {

inline constexpr const char* kHandlerChannelName = "com.quillmark.now_playing.handler.methods";
inline constexpr const char* kClientChannelName = "com.quillmark.now_playing.client.methods";

class NowPlayingPlugin : public FlutterPlugin {
 public:
  // Creates the process's bridge and handler channel at the first registration, under a lock.
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  // initWithRegistrar: opens the client channel.
  NowPlayingPlugin(FlutterPluginRegistrar& registrar, std::shared_ptr<NowPlayingBridge> bridge);

  const std::shared_ptr<FlutterMethodChannel>& channel() const { return channel_; }

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

 private:
  using Method = void (NowPlayingPlugin::*)(const FlutterMethodCall&, const FlutterResult&);
  static const std::map<std::string, Method>& methods();

  void configure(const FlutterMethodCall& call, const FlutterResult& result);
  void setState(const FlutterMethodCall& call, const FlutterResult& result);
  void setMediaItem(const FlutterMethodCall& call, const FlutterResult& result);
  void stopService(const FlutterMethodCall& call, const FlutterResult& result);
  // setQueue, setPlaybackInfo, notifyChildrenChanged, androidForceEnableMediaButtons.
  void acknowledge(const FlutterMethodCall& call, const FlutterResult& result);

  std::shared_ptr<FlutterMethodChannel> channel_;
  std::shared_ptr<NowPlayingBridge> bridge_;
};

}  // namespace now_playing
