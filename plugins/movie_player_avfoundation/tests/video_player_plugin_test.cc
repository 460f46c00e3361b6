// The plug-in level: ids, disposal of a player's channels, "initialize", bad URIs and messages,
// header options, platform views and asset URLs.
#include <any>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "plugins/movie_player_avfoundation/tests/video_player_fixture.h"

namespace movie_player_avfoundation::testing {
namespace {

using Headers = std::map<std::string, std::string>;

TEST_F(VideoPlayerTest, IdsComeFromOneCounterAndTextureIdsFromTheRegistry) {
  EXPECT_EQ(createPlatformPlayer(), 1);
  auto ids = createTexturePlayer();
  EXPECT_EQ(ids.playerId, 2);
  EXPECT_GE(ids.textureId, flutter::EngineTextureRegistry::kFirstTextureId);
  EXPECT_TRUE(engine->textures().isRegistered(ids.textureId));

  EXPECT_EQ(api("initialize"), ValueList{Value()});
  EXPECT_FALSE(engine->textures().isRegistered(ids.textureId));
  // Every per-player channel of both players is gone; ids are not reused.
  for (int64_t id : {1, 2}) EXPECT_TRUE(call(id, "play").empty());
  EXPECT_EQ(createPlatformPlayer(), 3);
}

TEST_F(VideoPlayerTest, DisposeRemovesAllThirteenChannelsAndStillReplies) {
  auto ids = createTexturePlayer();
  ASSERT_TRUE(dart.listen(events(ids.playerId)).isSuccess());
  EXPECT_EQ(call(ids.playerId, "dispose"), ValueList{Value()});
  for (const char* operation :
       {"setLooping", "setVolume", "setPlaybackSpeed", "play", "getPosition", "seekTo", "pause",
        "dispose", "getAudioTracks", "selectAudioTrack", "getVideoTracks", "selectVideoTrack",
        "setPreventsDisplaySleepDuringVideoPlayback"}) {
    EXPECT_TRUE(call(ids.playerId, operation, {Value()}).empty()) << operation;
  }
  EXPECT_FALSE(engine->textures().isRegistered(ids.textureId));
  // The event channel lost its handler too.
  EXPECT_FALSE(dart.listen(events(ids.playerId)).isSuccess());
}

TEST_F(VideoPlayerTest, InvalidUriUsesNoIdAndHeadersBecomeAssetOptions) {
  auto reply = api("createForTextureView", {options("not a uri")});
  EXPECT_EQ(reply, (ValueList{Value("movie_player"), Value("Invalid URI"), Value()}));
  EXPECT_EQ(engine->textures().textureCount(), 0u);

  EXPECT_EQ(createPlatformPlayer(), 1);
  EXPECT_TRUE(item()->asset()->options().empty());
  api("createForPlatformView",
      {options("https://example.com/b.m3u8", ValueMap{{"Authorization", "Bearer x"}})});
  const auto& assetOptions = item()->asset()->options();
  ASSERT_EQ(assetOptions.size(), 1u);
  EXPECT_EQ(std::any_cast<Headers>(assetOptions.at(AVURLAssetHTTPHeaderFieldsKey)),
            (Headers{{"Authorization", "Bearer x"}}));
  EXPECT_EQ(item()->asset()->URL().absoluteString(), "https://example.com/b.m3u8");
}

TEST_F(VideoPlayerTest, MalformedMessagesAnswerErrors) {
  EXPECT_EQ(api("createForPlatformView", {Value("https://example.com")})[0], Value("invalid-argument"));
  EXPECT_EQ(api("createForTextureView", {})[0], Value("invalid-argument"));
  EXPECT_EQ(api("setMixWithOthers", {Value("yes")})[0], Value("invalid-argument"));
  EXPECT_EQ(api("getAssetUrl", {Value(int64_t{1}), Value()})[0], Value("invalid-argument"));
  // A record with a field of the wrong type cannot be decoded.
  auto raw = dart.sendMessage(kApi + "createForPlatformView",
                              Value(ValueList{Value(ValueList{})}));
  ASSERT_TRUE(raw && raw->asList());
  EXPECT_EQ(raw->asList()->size(), 3u);

  int64_t id = createPlatformPlayer();
  EXPECT_EQ(call(id, "setVolume", {Value("loud")})[0], Value("invalid-argument"));
  EXPECT_EQ(call(id, "seekTo", {})[0], Value("invalid-argument"));
  EXPECT_EQ(call(id, "setPlaybackSpeed", {Value(std::nan(""))})[0], Value("invalid-argument"));
  EXPECT_EQ(api("setMixWithOthers", {Value(true)}), ValueList{Value()});
}

TEST_F(VideoPlayerTest, PlatformViewsShowTheirPlayerOrNothing) {
  int64_t id = createPlatformPlayer();
  auto factoryCodec = VideoPlayerPluginMessagesPigeonCodec();
  auto create = [&](int64_t viewId, int64_t playerId) {
    auto params = factoryCodec->encode(
        Value(std::make_shared<const PlatformVideoViewCreationParams>(playerId)));
    return dart.invokeMethod(flutter::kPlatformViewsChannel, "create",
                             ValueMap{{"id", viewId},
                                      {"viewType", "com.velmora.host/movie_player_view"},
                                      {"params", Value(std::move(params))}});
  };
  ASSERT_TRUE(create(1, id).isSuccess());
  auto view = engine->platformViews().viewForIdentifier(1);
  auto layer = std::dynamic_pointer_cast<AVPlayerLayer>(view ? view->layer() : nullptr);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->player(), avPlayer());

  ASSERT_TRUE(create(2, 99).isSuccess());
  auto empty = engine->platformViews().viewForIdentifier(2);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->layer(), nullptr);
}

TEST_F(VideoPlayerTest, AssetUrlsResolveUnderTheBundle) {
  auto bundle = ::testing::TempDir() + "video_bundle";
  std::filesystem::create_directories(bundle + "/Contents/Resources/flutter_assets/packages/p");
  std::ofstream(bundle + "/Contents/Resources/flutter_assets/clip.mp4") << "x";
  foundation::testing::setMainBundlePath(bundle);
  auto found = api("getAssetUrl", {Value("clip.mp4"), Value()});
  EXPECT_EQ(found[0], Value("file://" + bundle + "/Contents/Resources/flutter_assets/clip.mp4"));
  // Not a resource: resolved against the bundle URL all the same.
  auto packaged = api("getAssetUrl", {Value("v.mp4"), Value("p")});
  EXPECT_EQ(packaged[0], Value("file://" + bundle + "/flutter_assets/packages/p/v.mp4"));
  foundation::testing::setMainBundlePath(std::nullopt);
}

TEST_F(VideoPlayerTest, UrisHoldingANulAreRefusedByBothCreateOperations) {
  const std::string uri = std::string("https://e.com/\0evil", 19);
  for (const char* operation : {"createForPlatformView", "createForTextureView"}) {
    EXPECT_EQ(api(operation, {options(uri)}),
              (ValueList{Value("movie_player"), Value("Invalid URI"), Value()}))
        << operation;
  }
  EXPECT_TRUE(av::players().empty());
  EXPECT_EQ(engine->textures().textureCount(), 0u);
}

TEST_F(VideoPlayerTest, AssetUrlsNeverLeaveTheBundleAssets) {
  auto bundle = ::testing::TempDir() + "video_bundle_confined";
  auto assets = bundle + "/Contents/Resources/flutter_assets";
  std::filesystem::create_directories(assets + "/packages/p");
  std::ofstream(assets + "/clip.mp4") << "x";
  std::ofstream(bundle + "/Contents/Resources/secret.txt") << "x";
  std::filesystem::remove(assets + "/outside");
  std::filesystem::create_symlink(bundle + "/Contents/Resources", assets + "/outside");
  foundation::testing::setMainBundlePath(bundle);
  auto url = [&](const std::string& asset, Value package = Value()) {
    return api("getAssetUrl", {Value(asset), std::move(package)});
  };
  for (const std::string& escaping :
       {std::string("../../../../etc/passwd"), std::string(""), std::string("."),
        std::string("../secret.txt"), std::string("packages/../../secret.txt"),
        std::string("outside/secret.txt"),
        std::string("clip.mp4\0.txt", 13)}) {
    EXPECT_EQ(url(escaping), ValueList{Value()}) << escaping;
  }
  EXPECT_EQ(url("secret.txt", Value("../..")), ValueList{Value()});
  EXPECT_EQ(url("", Value("p")), ValueList{Value()});
  // What stays inside still resolves, found or not.
  EXPECT_EQ(url("packages/../clip.mp4")[0], Value("file://" + assets + "/clip.mp4"));
  EXPECT_EQ(url("v.mp4", Value("p"))[0],
            Value("file://" + bundle + "/flutter_assets/packages/p/v.mp4"));
  foundation::testing::setMainBundlePath(std::nullopt);
}

}  // namespace
}  // namespace movie_player_avfoundation::testing
