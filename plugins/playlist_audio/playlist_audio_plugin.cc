#include "plugins/playlist_audio/playlist_audio_plugin.h"

#include "plugins/playlist_audio/audio_method_table.h"

namespace playlist_audio {

void PlaylistAudioPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel =
      FlutterMethodChannel::methodChannelWithName(kMainChannelName, registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<PlaylistAudioPlugin>(registrar), channel);
}

PlaylistAudioPlugin::PlaylistAudioPlugin(FlutterPluginRegistrar& registrar)
    : messenger_(registrar.messenger()) {}

PlaylistAudioPlugin::~PlaylistAudioPlugin() {
  for (auto& [id, player] : players_) player->dispose(true);
}

void PlaylistAudioPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  static const MethodTable<PlaylistAudioPlugin> kMethods = {
      {"init", &PlaylistAudioPlugin::init},
      {"disposePlayer", &PlaylistAudioPlugin::disposePlayer},
      {"disposeAllPlayers", &PlaylistAudioPlugin::disposeAllPlayers},
  };
  dispatchMethodCall(*this, kMethods, call, result);
}

void PlaylistAudioPlugin::init(const AudioArguments& arguments, const FlutterResult& result) {
  std::string id = arguments.requiredString("id");
  if (players_.contains(id)) {
    result(FlutterError{"error", "Platform player already exists", nullptr});
    return;
  }
  const auto* configuration = arguments.entry("audioLoadConfiguration");
  checkLoadConfiguration(configuration);
  // Only its type is checked: lazy preparation is decided by each concatenating source.
  arguments.boolean("useLazyPreparation");
  players_[id] = AudioPlayer::create(
      messenger_, id,
      configuration != nullptr ? *configuration : flutter::Value(flutter::ValueMap{}));
  result(nullptr);
}

void PlaylistAudioPlugin::disposePlayer(const AudioArguments& arguments,
                                        const FlutterResult& result) {
  auto found = players_.find(arguments.requiredString("id"));
  if (found != players_.end()) {
    auto player = std::move(found->second);
    players_.erase(found);
    player->dispose(false);
  }
  result(flutter::ValueMap{});
}

void PlaylistAudioPlugin::disposeAllPlayers(const AudioArguments&, const FlutterResult& result) {
  auto players = std::move(players_);
  players_.clear();
  for (auto& [id, player] : players) player->dispose(false);
  result(flutter::ValueMap{});
}

}  // namespace playlist_audio
