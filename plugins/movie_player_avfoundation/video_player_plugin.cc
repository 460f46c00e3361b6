#include "plugins/movie_player_avfoundation/video_player_plugin.h"

#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_url.h"
#include "plugins/movie_player_avfoundation/bundle_asset_path.h"
#include "plugins/movie_player_avfoundation/hvp_default_av_factory.h"
#include "plugins/movie_player_avfoundation/hvp_event_bridge.h"
#include "plugins/movie_player_avfoundation/hvp_frame_updater.h"
#include "plugins/movie_player_avfoundation/hvp_texture_based_video_player.h"
#include "plugins/movie_player_avfoundation/native_video_view_factory.h"
#include "plugins/movie_player_avfoundation/video_player_instance_messages.g.h"

namespace movie_player_avfoundation {

void VideoPlayerPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  std::shared_ptr<VideoPlayerPlugin> plugin(new VideoPlayerPlugin(
      registrar.messenger(), registrar.textures(),
      std::make_shared<HVPDefaultViewProvider>(registrar),
      std::make_shared<DefaultAssetProvider>()));
  registrar.publish(plugin);
  registrar.registerViewFactory(
      std::make_shared<NativeVideoViewFactory>(
          [weak = std::weak_ptr<VideoPlayerPlugin>(plugin)](int64_t playerId) {
            auto owner = weak.lock();
            return owner ? owner->playerForIdentifier(playerId) : nullptr;
          }),
      kPlatformViewType);
  AVFoundationVideoPlayerApiSetup::setUp(registrar.messenger(), plugin, "");
}

VideoPlayerPlugin::VideoPlayerPlugin(std::shared_ptr<FlutterBinaryMessenger> messenger,
                                     std::shared_ptr<FlutterTextureRegistry> textureRegistry,
                                     std::shared_ptr<HVPViewProvider> viewProvider,
                                     std::shared_ptr<HVPAssetProvider> assetProvider)
    : binary_messenger_(std::move(messenger)),
      texture_registry_(std::move(textureRegistry)),
      display_link_factory_(std::make_shared<DefaultDisplayLinkFactory>()),
      av_factory_(std::make_shared<HVPDefaultAVFactory>()),
      view_provider_(std::move(viewProvider)),
      asset_provider_(std::move(assetProvider)) {}

std::shared_ptr<HVPVideoPlayer> VideoPlayerPlugin::playerForIdentifier(int64_t playerId) const {
  auto found = players_by_identifier_.find(playerId);
  return found != players_by_identifier_.end() ? found->second : nullptr;
}

PigeonResult<std::shared_ptr<HVPAVPlayerItem>> VideoPlayerPlugin::createPlayerItem(
    const CreationOptions& options) {
  std::optional<AVURLAssetOptions> assetOptions;
  if (!options.httpHeaders.empty()) {
    assetOptions = AVURLAssetOptions{{AVURLAssetHTTPHeaderFieldsKey, options.httpHeaders}};
  }
  auto url = NSURL::URLWithString(options.uri);
  if (!url) return PigeonError{"movie_player", "Invalid URI", nullptr};
  auto asset = av_factory_->URLAssetWithURL(*url, std::move(assetOptions));
  return av_factory_->playerItemWithAsset(asset);
}

int64_t VideoPlayerPlugin::registerPlayer(const std::shared_ptr<HVPVideoPlayer>& player,
                                          std::function<void()> extraCleanUp) {
  const int64_t id = next_player_identifier_++;
  players_by_identifier_[id] = player;
  const std::string suffix = std::to_string(id);
  SetUpHVPVideoPlayerInstanceApiWithSuffix(binary_messenger_, player, suffix);
  player->setOnDisposed([weak = weak_from_this(), id, suffix, cleanUp = std::move(extraCleanUp)] {
    auto plugin = weak.lock();
    if (!plugin) return;
    SetUpHVPVideoPlayerInstanceApiWithSuffix(plugin->binary_messenger_, nullptr, suffix);
    if (cleanUp) cleanUp();
    plugin->players_by_identifier_.erase(id);
  });
  player->setEventListener(HVPEventBridge::create(binary_messenger_, kEventChannelPrefix + suffix));
  return id;
}

void VideoPlayerPlugin::initialize() {
  // Each disposal removes its player from the table: iterate over a snapshot.
  auto players = players_by_identifier_;
  for (const auto& [id, player] : players) player->dispose();
  players_by_identifier_.clear();
}

PigeonResult<int64_t> VideoPlayerPlugin::createForPlatformView(const CreationOptions& options) {
  auto item = createPlayerItem(options);
  if (auto* error = std::get_if<PigeonError>(&item)) return *error;
  auto player = HVPVideoPlayer::create(std::get<0>(item), av_factory_, view_provider_);
  return registerPlayer(player, nullptr);
}

PigeonResult<TexturePlayerIds> VideoPlayerPlugin::createForTextureView(
    const CreationOptions& options) {
  auto item = createPlayerItem(options);
  if (auto* error = std::get_if<PigeonError>(&item)) return *error;
  auto frameUpdater = std::make_shared<HVPFrameUpdater>(texture_registry_);
  // The link holds the updater weakly: the updater owns the link, the player owns both.
  auto displayLink = display_link_factory_->makeDisplayLink(
      view_provider_, [updater = std::weak_ptr<HVPFrameUpdater>(frameUpdater)] {
        if (auto frameUpdater = updater.lock()) frameUpdater->displayLinkFired();
      });
  auto player = HVPTextureBasedVideoPlayer::create(std::get<0>(item), frameUpdater, displayLink,
                                                   av_factory_, view_provider_);
  const int64_t textureId = texture_registry_->registerTexture(player);
  player->setTextureIdentifier(textureId);
  const int64_t playerId = registerPlayer(player, [weak = weak_from_this(), textureId] {
    if (auto plugin = weak.lock()) plugin->texture_registry_->unregisterTexture(textureId);
  });
  return TexturePlayerIds(playerId, textureId);
}

void VideoPlayerPlugin::setMixWithOthers(bool /*mixWithOthers*/) {}

std::optional<std::string> VideoPlayerPlugin::getAssetUrl(const std::string& asset,
                                                          const std::optional<std::string>& package) {
  auto key = package ? asset_provider_->lookupKeyForAsset(asset, *package)
                     : asset_provider_->lookupKeyForAsset(asset);
  if (!key) return std::nullopt;
  // A key that leads out of the assets answers as a missing asset does.
  auto normalized = normalizedAssetKey(*key);
  if (!normalized) return std::nullopt;
  auto bundle = NSBundle::mainBundle();
  if (auto path = bundle->pathForResource(*normalized, "")) {
    const std::string assets =
        bundle->resourcePath() + "/" + flutter::EngineRegistrar::kAssetsFolder;
    if (!resolvesInside(*path, assets)) return std::nullopt;
    return NSURL::fileURLWithPath(*path).absoluteString();
  }
  NSURL bundleURL = NSURL::fileURLWithPath(bundle->bundlePath(), true);
  auto url = NSURL::URLWithString(*normalized, &bundleURL);
  if (!url) return std::nullopt;
  return NSURL::fileURLWithPath(url->path()).absoluteString();
}

}  // namespace movie_player_avfoundation
