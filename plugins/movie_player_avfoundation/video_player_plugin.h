// The video player plug-in: answers the plug-in-level API, creates players for textures or
// platform views, hands out their ids (from 1, never reused) and wires each to its per-player
// channels and its event channel. Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/flutter/flutter_plugin.h"
#include "plugins/movie_player_avfoundation/default_asset_provider.h"
#include "plugins/movie_player_avfoundation/display_link_factory.h"
#include "plugins/movie_player_avfoundation/hvp_video_player.h"
#include "plugins/movie_player_avfoundation/messages.g.h"

namespace movie_player_avfoundation {

inline constexpr const char* kPlatformViewType = "com.velmora.host/movie_player_view";
inline constexpr const char* kEventChannelPrefix = "com.velmora.host/videoPlayer/videoEvents";

class VideoPlayerPlugin final : public AVFoundationVideoPlayerApi,
                                public std::enable_shared_from_this<VideoPlayerPlugin> {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  void initialize() override;
  PigeonResult<int64_t> createForPlatformView(const CreationOptions& options) override;
  PigeonResult<TexturePlayerIds> createForTextureView(const CreationOptions& options) override;
  void setMixWithOthers(bool mixWithOthers) override;
  std::optional<std::string> getAssetUrl(const std::string& asset,
                                         const std::optional<std::string>& package) override;

  // Null for an id that names no live player.
  std::shared_ptr<HVPVideoPlayer> playerForIdentifier(int64_t playerId) const;

 private:
  VideoPlayerPlugin(std::shared_ptr<FlutterBinaryMessenger> messenger,
                    std::shared_ptr<FlutterTextureRegistry> textureRegistry,
                    std::shared_ptr<HVPViewProvider> viewProvider,
                    std::shared_ptr<HVPAssetProvider> assetProvider);
  PigeonResult<std::shared_ptr<HVPAVPlayerItem>> createPlayerItem(const CreationOptions& options);
  int64_t registerPlayer(const std::shared_ptr<HVPVideoPlayer>& player,
                         std::function<void()> extraCleanUp);

  std::shared_ptr<FlutterBinaryMessenger> binary_messenger_;
  std::shared_ptr<FlutterTextureRegistry> texture_registry_;
  std::shared_ptr<DisplayLinkFactory> display_link_factory_;
  std::shared_ptr<HVPAVFactory> av_factory_;
  std::shared_ptr<HVPViewProvider> view_provider_;
  std::shared_ptr<HVPAssetProvider> asset_provider_;
  int64_t next_player_identifier_ = 1;
  std::map<int64_t, std::shared_ptr<HVPVideoPlayer>> players_by_identifier_;
};

}  // namespace movie_player_avfoundation
