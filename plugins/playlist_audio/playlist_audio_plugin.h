// The audio player plug-in: the main method channel and the registry of players, each created
// under an id that the Dart side chooses and owned here until disposed.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/flutter/flutter_plugin.h"
#include "plugins/playlist_audio/audio_player.h"

namespace playlist_audio {

inline constexpr const char* kMainChannelName = "com.quillmark.playlist_audio.methods";

class PlaylistAudioPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  explicit PlaylistAudioPlugin(FlutterPluginRegistrar& registrar);
  // Disposes every player without a final event.
  ~PlaylistAudioPlugin() override;

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

 private:
  void init(const AudioArguments& arguments, const FlutterResult& result);
  void disposePlayer(const AudioArguments& arguments, const FlutterResult& result);
  void disposeAllPlayers(const AudioArguments& arguments, const FlutterResult& result);

  // The registrar is gone after registration; the messenger is what players need of it.
  std::shared_ptr<FlutterBinaryMessenger> messenger_;
  std::map<std::string, std::shared_ptr<AudioPlayer>> players_;
};

}  // namespace playlist_audio
