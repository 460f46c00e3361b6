// Track lists and selection, the composition for a rotated track, a track set-up that ends after
// disposal, media times, and the codecs' bytes and record equality.
#include <cmath>

#include "plugins/movie_player_avfoundation/hvp_track_selection.h"
#include "plugins/movie_player_avfoundation/hvp_video_geometry.h"
#include "plugins/movie_player_avfoundation/tests/video_player_fixture.h"

namespace movie_player_avfoundation::testing {
namespace {

TEST_F(VideoPlayerTest, AudioTracksListAndSelect) {
  int64_t id = createPlatformPlayer();
  EXPECT_EQ(call(id, "getAudioTracks"), ValueList{Value(ValueList{})});  // no audible group
  auto english = std::make_shared<const AVMediaSelectionOption>(AVMediaSelectionOption{
      "English", "en", {AVMetadataItem{"common/title", std::string("Main"), "title", "comn"}}});
  auto plain = std::make_shared<const AVMediaSelectionOption>(AVMediaSelectionOption{"Other"});
  auto group = std::make_shared<AVMediaSelectionGroup>();
  group->options = {english, plain};
  group->defaultOption = english;
  av::setMediaSelectionGroup(*item()->asset(), AVMediaCharacteristicAudible, group);

  auto tracks = *call(id, "getAudioTracks")[0].asList();
  ASSERT_EQ(tracks.size(), 2u);
  auto first = tracks[0].asCustom<HVPMediaSelectionAudioTrackData>();
  EXPECT_EQ(first->description(),
            "HVPMediaSelectionAudioTrackData(index: 0, displayName: English, languageCode: en, "
            "isSelected: true, commonMetadataTitle: Main)");
  for (int64_t bad : {int64_t{-1}, int64_t{2}}) {
    EXPECT_EQ(call(id, "selectAudioTrack", {Value(bad)}), ValueList{Value()});
  }
  call(id, "selectAudioTrack", {Value(int64_t{1})});
  tracks = *call(id, "getAudioTracks")[0].asList();
  EXPECT_FALSE(tracks[0].asCustom<HVPMediaSelectionAudioTrackData>()->isSelected);
  EXPECT_TRUE(tracks[1].asCustom<HVPMediaSelectionAudioTrackData>()->isSelected);
}

TEST_F(VideoPlayerTest, VideoTracksFollowTheTenPercentRule) {
  int64_t id = createPlatformPlayer();
  av::setVariants(*item()->asset(),
                  {AVAssetVariant{5000000, AVAssetVariantVideoAttributes{{1280, 719.6}, 30, {0x68766331}}},
                   AVAssetVariant{128000, std::nullopt},
                   AVAssetVariant{std::nan(""), std::nullopt}});
  av::finishLoadingKey(*item()->asset(), "variants");
  auto tracksFor = [&](int64_t cap) {
    call(id, "selectVideoTrack", {Value(cap)});
    auto data = call(id, "getVideoTracks")[0].asCustom<HVPNativeVideoTrackData>();
    EXPECT_FALSE(data->assetTracks.has_value());
    return *data->mediaSelectionTracks;
  };
  EXPECT_FALSE(tracksFor(0)[0].isSelected);
  EXPECT_TRUE(tracksFor(4600000)[0].isSelected);
  auto tracks = tracksFor(4500000);
  EXPECT_FALSE(tracks[0].isSelected);
  EXPECT_EQ(tracks[0].label, "720p");
  EXPECT_EQ(tracks[0].codec, "hevc");
  EXPECT_EQ(tracks[0].width, 1280);
  EXPECT_EQ(tracks[0].height, 719);
  EXPECT_EQ(tracks[1].bitrate, 128000);
  EXPECT_FALSE(tracks[1].label || tracks[1].width || tracks[1].frameRate || tracks[1].codec);
  EXPECT_FALSE(tracks[2].bitrate.has_value());  // a bit rate that is not a number is dropped

  foundation::testing::setEmulatedOperatingSystemVersion({11, 0, 0});
  EXPECT_EQ(call(id, "getVideoTracks"), ValueList{Value()});
}

TEST_F(VideoPlayerTest, VideoTracksNameTheirFirstCodecWhenItIsKnown) {
  int64_t id = createPlatformPlayer();
  auto variant = [](std::vector<uint32_t> codecs) {
    return AVAssetVariant{1e6, AVAssetVariantVideoAttributes{{640, 360}, 30, std::move(codecs)}};
  };
  const uint32_t avc1 = 0x61766331, hvc1 = 0x68766331, vp09 = 0x76703039, mp4v = 0x6d703476;
  av::setVariants(*item()->asset(), {variant({avc1}), variant({hvc1}), variant({vp09}),
                                     variant({mp4v}), variant({}), variant({vp09, avc1}),
                                     variant({mp4v, avc1})});
  av::finishLoadingKey(*item()->asset(), "variants");
  auto data = call(id, "getVideoTracks")[0].asCustom<HVPNativeVideoTrackData>();
  ASSERT_TRUE(data && data->mediaSelectionTracks);
  std::vector<std::optional<std::string>> codecs;
  for (const auto& track : *data->mediaSelectionTracks) codecs.push_back(track.codec);
  EXPECT_EQ(codecs, (std::vector<std::optional<std::string>>{
                        "avc1", "hevc", "vp9", std::nullopt, std::nullopt, "vp9", std::nullopt}));
}

TEST(MediaTimes, MillisecondsTruncateTowardZeroAndSaturate) {
  EXPECT_EQ(HVPMillisFromTime(kCMTimeIndefinite), -9223372036854775807LL);
  EXPECT_EQ(HVPMillisFromTime(CMTimeMake(INT64_MAX, 1)), INT64_MAX);
  EXPECT_EQ(HVPMillisFromTime(CMTimeMake(-1999, 1000)), -1999);
  EXPECT_EQ(HVPMillisFromTime(CMTimeMake(-19999, 10000)), -1999);
}

TEST_F(VideoPlayerTest, RotatedTrackGetsAComposition) {
  foundation::testing::setLogCapture(true);
  createPlatformPlayer();
  auto asset = item()->asset();
  av::setAssetDuration(*asset, CMTimeMake(10, 1));
  auto track = std::make_shared<AVAssetTrack>(AVAssetTrackProperties{
      7, AVMediaTypeVideo, {1920, 1080}, CGAffineTransform{0, 1, -1, 0, 0, 0}, kCMTimeInvalid});
  av::setAssetTracks(*asset, {track});
  av::finishLoadingKey(*asset, "tracks");
  av::finishLoadingKey(*track, "preferredTransform");
  ASSERT_TRUE(dart.runUntil([&] { return item()->videoComposition().has_value(); }));
  auto composition = *item()->videoComposition();
  EXPECT_EQ(composition.renderSize.width, 1080);
  EXPECT_EQ(composition.renderSize.height, 1920);
  EXPECT_EQ(composition.sourceTrackIDForFrameTiming, 7);
  EXPECT_EQ(CMTimeCompare(composition.frameDuration, CMTimeMake(1, 30)), 0);
  const auto& layer = composition.instructions.at(0).layerInstructions.at(0);
  EXPECT_EQ(layer.transforms().at(0).transform, (CGAffineTransform{0, 1, -1, 0, 1080, 0}));
  int warnings = 0;
  for (const auto& line : foundation::testing::takeLogLines()) {
    warnings += line.find("minFrameDuration for input video is invalid") != std::string::npos;
  }
  foundation::testing::setLogCapture(false);
  EXPECT_EQ(warnings, 1);
}

TEST_F(VideoPlayerTest, TrackSetUpFinishingAfterDisposeChangesNothing) {
  int64_t id = createPlatformPlayer();
  auto held = item();
  auto track = std::make_shared<AVAssetTrack>(AVAssetTrackProperties{
      1, AVMediaTypeVideo, {640, 480}, CGAffineTransform{-1, 0, 0, -1, 0, 0}});
  av::setAssetTracks(*held->asset(), {track});
  av::finishLoadingKey(*held->asset(), "tracks");
  ASSERT_TRUE(dart.runUntil([&] { return track->statusOfValueForKey("preferredTransform", nullptr) ==
                                         AVKeyValueStatusLoading; }));
  call(id, "dispose");
  av::finishLoadingKey(*track, "preferredTransform");
  dart.drain();
  EXPECT_FALSE(held->videoComposition().has_value());
}

TEST(MessageCodecs, BytesMatchHandBuiltVectors) {
  auto pluginCodec = VideoPlayerPluginMessagesPigeonCodec();
  // 130, then the list [uri, {}].
  EXPECT_EQ(pluginCodec->encode(Value(std::make_shared<const CreationOptions>("a", std::map<std::string, std::string>{}))),
            (FlutterBytes{130, 12, 2, 7, 1, 'a', 13, 0}));
  EXPECT_EQ(pluginCodec->encode(Value(std::make_shared<const TexturePlayerIds>(1, 1000))),
            (FlutterBytes{131, 12, 2, 4, 1, 0, 0, 0, 0, 0, 0, 0, 4, 0xe8, 3, 0, 0, 0, 0, 0, 0}));
  auto decoded = pluginCodec->decode(FlutterBytes{129, 12, 1, 3, 5, 0, 0, 0});
  EXPECT_EQ(decoded.asCustom<PlatformVideoViewCreationParams>()->playerId, 5);
  EXPECT_EQ(pluginCodec->decode(FlutterBytes{3, 5, 0, 0, 0}), Value(int32_t{5}));

  HVPMediaSelectionVideoTrackData variant;
  variant.variantIndex = 2;
  variant.bitrate = 9;
  auto instanceCodec = HVPVideoPlayerInstanceMessagesPigeonCodec();
  auto bytes = instanceCodec->encode(Value(std::make_shared<const HVPMediaSelectionVideoTrackData>(variant)));
  EXPECT_EQ(bytes, (FlutterBytes{130, 12, 8, 4, 2, 0, 0, 0, 0, 0, 0, 0, 0, 4, 9, 0, 0, 0, 0, 0, 0,
                                 0, 0, 0, 0, 0, 2}));
  auto back = instanceCodec->decode(bytes).asCustom<HVPMediaSelectionVideoTrackData>();
  EXPECT_TRUE(back->equals(variant));
  EXPECT_FALSE(back->width.has_value());

  HVPMediaSelectionAudioTrackData a, b;
  a.displayName = b.displayName = "x";
  EXPECT_TRUE(a.equals(b));
  EXPECT_EQ(a.messageHash(), b.messageHash());
  HVPMediaSelectionVideoTrackData nanA, nanB;
  nanA.frameRate = nanB.frameRate = std::nan("");
  EXPECT_TRUE(nanA.equals(nanB));
  EXPECT_EQ(nanA.messageHash(), nanB.messageHash());
}

// Records equal only records of their own kind, and a copy off the wire, nested records
// included, equals and hashes like the original.
TEST(MessageCodecs, EqualRecordsHashAlikeInBothLayers) {
  auto roundTrip = [](const auto& codec, auto record) {
    using Record = decltype(record);
    auto back = codec->decode(codec->encode(Value(std::make_shared<const Record>(record))));
    auto copy = back.template asCustom<Record>();
    EXPECT_NE(copy, nullptr);
    return copy ? *copy : Record();
  };
  CreationOptions options("https://e.com/a.mp4", {{"A", "1"}, {"B", "2"}});
  auto optionsBack = roundTrip(VideoPlayerPluginMessagesPigeonCodec(), options);
  EXPECT_TRUE(optionsBack.equals(options));
  EXPECT_EQ(optionsBack.messageHash(), options.messageHash());
  EXPECT_FALSE(TexturePlayerIds(1, 2).equals(TexturePlayerIds(1, 3)));
  EXPECT_FALSE(PlatformVideoViewCreationParams(1).equals(TexturePlayerIds(1, 0)));

  HVPAssetVideoTrackData track;
  track.trackId = 4;
  track.frameRate = std::nan("");
  HVPMediaSelectionVideoTrackData variant;
  variant.bitrate = 800000;
  HVPNativeVideoTrackData data;
  data.assetTracks = std::vector{track};
  data.mediaSelectionTracks = std::vector{variant};
  auto dataBack = roundTrip(HVPVideoPlayerInstanceMessagesPigeonCodec(), data);
  EXPECT_TRUE(dataBack.equals(data));
  EXPECT_EQ(dataBack.messageHash(), data.messageHash());
  dataBack.assetTracks->at(0).isSelected = true;
  EXPECT_FALSE(dataBack.equals(data));
}

}  // namespace
}  // namespace movie_player_avfoundation::testing
