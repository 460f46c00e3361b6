// Makes the native view of a platform-view player from the creation arguments the Dart side
// encoded with the plug-in's codec.
#pragma once

#include <functional>
#include <memory>

#include "platform/flutter/flutter_platform_view.h"
#include "plugins/movie_player_avfoundation/hvp_video_player.h"

namespace movie_player_avfoundation {

class NativeVideoViewFactory final : public FlutterPlatformViewFactory {
 public:
  // Finds a live player by id; null when there is none (or the plug-in is gone).
  using PlayerProvider = std::function<std::shared_ptr<HVPVideoPlayer>(int64_t playerId)>;

  explicit NativeVideoViewFactory(PlayerProvider playerByIdentifierProvider)
      : player_provider_(std::move(playerByIdentifierProvider)) {}

  // An empty view when the arguments name no live player.
  std::shared_ptr<NSView> createWithViewIdentifier(int64_t viewId,
                                                   const flutter::Value& arguments) override;
  std::shared_ptr<const FlutterMessageCodec> createArgsCodec() override;

 private:
  PlayerProvider player_provider_;
};

}  // namespace movie_player_avfoundation
