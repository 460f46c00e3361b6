// Disposal: every pending call is answered, and nothing a player made outlives it.
#include "plugins/movie_player_avfoundation/tests/video_player_fixture.h"

namespace movie_player_avfoundation::testing {
namespace {

class DisposalTest : public VideoPlayerTest {
 protected:
  // Sends a per-player call without waiting for its answer.
  TestDartSide::PendingBinary send(int64_t playerId, const std::string& operation) {
    auto codec = HVPVideoPlayerInstanceMessagesPigeonCodec();
    return dart.sendBinary(kInstance + operation + "." + std::to_string(playerId),
                           codec->encode(Value(ValueList{})));
  }
  static ValueList decode(const FlutterBinaryMessage& reply) {
    if (!reply) return {};
    auto value = HVPVideoPlayerInstanceMessagesPigeonCodec()->decode(*reply);
    return value.asList() ? *value.asList() : ValueList{};
  }
};

TEST_F(DisposalTest, APendingVideoTrackListIsAnsweredAtDisposal) {
  for (bool texture : {false, true}) {
    int64_t id = texture ? createTexturePlayer().playerId : createPlatformPlayer();
    auto tracks = send(id, "getVideoTracks");
    dart.drain();
    EXPECT_FALSE(tracks.ready());  // the variants have not loaded
    EXPECT_EQ(call(id, "dispose"), ValueList{Value()});
    auto reply = decode(tracks.wait());
    ASSERT_EQ(reply.size(), 1u);
    auto data = reply[0].asCustom<HVPNativeVideoTrackData>();
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->assetTracks.has_value());
    ASSERT_TRUE(data->mediaSelectionTracks.has_value());
    EXPECT_TRUE(data->mediaSelectionTracks->empty());
  }
}

TEST_F(DisposalTest, NothingAPlayerMadeOutlivesItsDisposal) {
  std::vector<std::weak_ptr<AVURLAsset>> assets;
  std::vector<std::weak_ptr<AVAssetTrack>> tracks;
  for (int round = 0; round < 3; ++round) {
    for (bool texture : {false, true}) {
      int64_t id = texture ? createTexturePlayer().playerId : createPlatformPlayer();
      auto asset = item()->asset();
      assets.push_back(asset);
      if (round == 1) {
        // The tracks loaded, the transform of the first one did not.
        auto track = std::make_shared<AVAssetTrack>(AVAssetTrackProperties{});
        tracks.push_back(track);
        av::setAssetTracks(*asset, {track});
        av::finishLoadingKey(*asset, "tracks");
      }
      if (round == 2) makeReady(id);
      auto pendingTracks = send(id, "getVideoTracks");
      if (round == 1) {
        // Wait until the set-up asked for the track's transform.
        ASSERT_TRUE(dart.runUntil([&] {
          return tracks.back().lock()->statusOfValueForKey("preferredTransform", nullptr) ==
                 AVKeyValueStatusLoading;
        }));
      }
      asset.reset();
      call(id, "dispose");
      EXPECT_TRUE(decode(pendingTracks.wait()).size() == 1u);
    }
  }
  dart.drain();
  EXPECT_TRUE(av::playerItems().empty());
  EXPECT_TRUE(av::players().empty());
  for (const auto& asset : assets) EXPECT_TRUE(asset.expired());
  for (const auto& track : tracks) EXPECT_TRUE(track.expired());
}

}  // namespace
}  // namespace movie_player_avfoundation::testing
