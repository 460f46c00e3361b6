// The per-player message layer: the bytes of every track record, and malformed or hostile
// messages on a player's channels answered with errors while the player carries on.
#include <cmath>

#include "plugins/movie_player_avfoundation/tests/video_player_fixture.h"

namespace movie_player_avfoundation::testing {
namespace {

const std::shared_ptr<const FlutterStandardMessageCodec>& codec() {
  return HVPVideoPlayerInstanceMessagesPigeonCodec();
}

template <typename Record>
Value record(Record value) {
  return Value(std::make_shared<const Record>(std::move(value)));
}

TEST(InstanceCodecBytes, AudioTrackRecord) {
  HVPMediaSelectionAudioTrackData audio;
  audio.index = 1;
  audio.displayName = "En";
  audio.isSelected = true;
  // 129, then [int64 1, "En", null, true, null].
  FlutterBytes bytes{129, 12, 5, 4, 1, 0, 0, 0, 0, 0, 0, 0, 7, 2, 'E', 'n', 0, 1, 0};
  EXPECT_EQ(codec()->encode(record(audio)), bytes);
  auto back = codec()->decode(bytes).asCustom<HVPMediaSelectionAudioTrackData>();
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->equals(audio));
  EXPECT_FALSE(back->languageCode.has_value());
}

TEST(InstanceCodecBytes, AssetTrackRecordAlignsItsDouble) {
  HVPAssetVideoTrackData track;
  track.trackId = 3;
  track.label = "a";
  track.width = 640;
  track.frameRate = 0.5;
  // 131, then [int64 3, "a", int64 640, null, 0.5 (aligned to 8 from the start), null, false].
  FlutterBytes bytes{131, 12, 7, 4, 3, 0, 0, 0, 0, 0, 0, 0, 7, 1, 'a', 4, 0x80, 2,    0,    0, 0,
                     0,   0,  0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   0, 0,    0xe0, 0x3f, 0, 2};
  EXPECT_EQ(codec()->encode(record(track)), bytes);
  auto back = codec()->decode(bytes).asCustom<HVPAssetVideoTrackData>();
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->equals(track));
}

TEST(InstanceCodecBytes, NativeTrackDataNestsItsRecords) {
  HVPMediaSelectionVideoTrackData variant;
  variant.isSelected = true;
  HVPNativeVideoTrackData data;
  data.mediaSelectionTracks = std::vector{variant};
  // 132, then [null, [130 [int64 0, six nulls, true]]].
  FlutterBytes bytes{132, 12, 2, 0, 12, 1, 130, 12, 8, 4, 0, 0, 0,
                     0,   0,  0, 0, 0,  0, 0,   0,  0, 0, 0, 1};
  EXPECT_EQ(codec()->encode(record(data)), bytes);
  auto back = codec()->decode(bytes).asCustom<HVPNativeVideoTrackData>();
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->equals(data));
  EXPECT_FALSE(back->assetTracks.has_value());

  HVPAssetVideoTrackData asset;
  asset.trackId = 9;
  data.assetTracks = std::vector{asset};
  back = codec()->decode(codec()->encode(record(data))).asCustom<HVPNativeVideoTrackData>();
  ASSERT_TRUE(back && back->assetTracks);
  EXPECT_EQ(back->assetTracks->at(0).trackId, 9);
}

TEST(InstanceCodecBytes, RecordsOfTheWrongShapeDoNotDecode) {
  for (const FlutterBytes& hostile : {
           FlutterBytes{129, 12, 2, 0, 0},                     // too few fields
           FlutterBytes{129, 7, 1, 'x'},                       // not a list
           FlutterBytes{132, 12, 2, 0, 12, 1, 3, 1, 0, 0, 0},  // a number where a record belongs
           FlutterBytes{130, 12, 8, 7, 1, 'x', 0, 0, 0, 0, 0, 0, 1},  // a string as the index
           FlutterBytes{131, 12, 7},                                  // truncated
       }) {
    EXPECT_THROW(codec()->decode(hostile), FlutterCodecError);
  }
  FlutterBytes deep;
  // Far deeper than any honest message: refused before the stack runs out.
  for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {132, 12, 2, 0, 12, 1});
  deep.insert(deep.end(), {132, 12, 2, 0, 0});
  EXPECT_THROW(codec()->decode(deep), FlutterCodecError);
}

TEST_F(VideoPlayerTest, MalformedPerPlayerMessagesAnswerErrorsAndThePlayerCarriesOn) {
  int64_t id = createPlatformPlayer();
  makeReady(id);
  auto code = [](const ValueList& reply) {
    return reply.size() == 3 && reply[0].asString() ? *reply[0].asString() : std::string("none");
  };
  EXPECT_EQ(code(call(id, "setLooping", {Value("yes")})), "invalid-argument");
  EXPECT_EQ(code(call(id, "selectAudioTrack", {Value(1.5)})), "invalid-argument");
  EXPECT_EQ(code(call(id, "selectVideoTrack", {Value("max")})), "invalid-argument");
  EXPECT_EQ(code(call(id, "seekTo", {Value(2.5)})), "invalid-argument");
  EXPECT_EQ(code(call(id, "setPreventsDisplaySleepDuringVideoPlayback", {Value(int64_t{1})})),
            "invalid-argument");
  EXPECT_EQ(code(call(id, "setPlaybackSpeed", {Value(INFINITY)})), "invalid-argument");
  EXPECT_EQ(code(call(id, "setVolume", {Value(ValueList{})})), "invalid-argument");
  for (double volume : {INFINITY, -INFINITY, NAN}) {
    EXPECT_EQ(code(call(id, "setVolume", {Value(volume)})), "invalid-argument") << volume;
  }
  EXPECT_EQ(avPlayer()->volume(), 1.0f);

  // Not a list, and no message at all, where an argument is needed.
  auto notAList =
      dart.sendMessage(kInstance + "setVolume." + std::to_string(id), Value(0.5), codec());
  ASSERT_TRUE(notAList && notAList->asList());
  EXPECT_EQ(code(*notAList->asList()), "invalid-argument");
  auto empty = dart.sendBinary(kInstance + "seekTo." + std::to_string(id), std::nullopt).wait();
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(code(*codec()->decode(*empty).asList()), "invalid-argument");
  // Bytes that do not decode.
  auto garbage = dart.sendBinary(kInstance + "selectAudioTrack." + std::to_string(id),
                                 FlutterBytes{12, 1, 129, 12, 2, 0, 0})
                     .wait();
  ASSERT_TRUE(garbage.has_value());
  EXPECT_EQ(code(*codec()->decode(*garbage).asList()), kFlutterMalformedMessageCode);

  // None of it changed the player.
  EXPECT_EQ(avPlayer()->rate(), 0.0f);
  EXPECT_EQ(call(id, "play"), ValueList{Value()});
  EXPECT_EQ(avPlayer()->rate(), 1.0f);
  EXPECT_EQ(call(id, "getPosition"), ValueList{Value(int64_t{0})});
}

}  // namespace
}  // namespace movie_player_avfoundation::testing
