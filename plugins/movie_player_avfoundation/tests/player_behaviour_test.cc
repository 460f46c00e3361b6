// Behaviour the Dart side relies on beyond the basics: "initialize" ending every player, speed
// and volume limits, the event maps, frame pacing across refresh changes, and track selection.
#include <any>
#include <cmath>

#include "plugins/movie_player_avfoundation/tests/video_player_fixture.h"

namespace movie_player_avfoundation::testing {
namespace {

using Headers = std::map<std::string, std::string>;

// The names of the events received so far, "error:" and the code for an error event. The rate
// echoes of every pause (the rate is set, hence observed, each time) are left out.
class EventNamesTest : public VideoPlayerTest {
 protected:
  std::vector<std::string> names(int64_t playerId) {
    std::vector<std::string> all;
    for (const auto& event : received(playerId)) {
      if (event.isError()) {
        all.push_back("error:" + event.error().code);
      } else if (event.isValue() && event.value().find("event")) {
        std::string name = *event.value().find("event")->asString();
        if (name != "isPlayingStateUpdate") all.push_back(name);
      }
    }
    return all;
  }
};

TEST_F(VideoPlayerTest, InitializeEndsEveryPlayerAndKeepsCounting) {
  EXPECT_EQ(api("initialize"), ValueList{Value()});  // nothing to end
  int64_t first = createPlatformPlayer();
  auto texture = createTexturePlayer();
  int64_t third = createPlatformPlayer();
  std::vector<std::shared_ptr<AVPlayer>> players = av::players();
  for (int64_t id : {first, texture.playerId, third}) {
    ASSERT_TRUE(dart.listen(events(id)).isSuccess());
  }
  call(first, "dispose");  // already gone: "initialize" ends only the others

  EXPECT_EQ(api("initialize"), ValueList{Value()});
  for (const auto& player : players) EXPECT_EQ(player->currentItem(), nullptr);
  EXPECT_FALSE(engine->textures().isRegistered(texture.textureId));
  for (int64_t id : {first, texture.playerId, third}) {
    EXPECT_TRUE(call(id, "getPosition").empty()) << id;
    EXPECT_FALSE(dart.listen(events(id)).isSuccess()) << id;
  }
  EXPECT_EQ(createPlatformPlayer(), 4);
}

TEST_F(VideoPlayerTest, EveryHeaderReachesTheAssetAndNoHeadersMeansNoOptions) {
  Headers headers{{"Authorization", "Bearer x"}, {"X-Trace", "1"}, {"Cookie", "a=b; c=d"}};
  ValueMap sent;
  for (const auto& [name, value] : headers) sent.append(Value(name), Value(value));
  api("createForTextureView", {options("https://example.com/a.m3u8", sent)});
  EXPECT_EQ(std::any_cast<Headers>(item()->asset()->options().at(AVURLAssetHTTPHeaderFieldsKey)),
            headers);
  api("createForTextureView", {options("file:///tmp/a.mp4")});
  EXPECT_TRUE(item()->asset()->options().empty());
  EXPECT_EQ(item()->asset()->URL().absoluteString(), "file:///tmp/a.mp4");
}

TEST_F(VideoPlayerTest, SpeedIsLimitedOnlyByWhatTheItemCannotDo) {
  int64_t id = createPlatformPlayer();
  makeReady(id);
  call(id, "play");
  auto rateFor = [&](double speed) {
    call(id, "setPlaybackSpeed", {Value(speed)});
    return avPlayer()->rate();
  };
  EXPECT_EQ(rateFor(3.0), 3.0f);  // both capabilities by default
  EXPECT_EQ(rateFor(0.25), 0.25f);
  EXPECT_TRUE(std::isfinite(rateFor(1e300)));  // saturates instead of overflowing to infinity
  av::setPlaybackCapabilities(*item(), false, false);
  EXPECT_EQ(rateFor(2.0), 2.0f);  // the limits themselves pass
  EXPECT_EQ(rateFor(1.0), 1.0f);
  EXPECT_EQ(rateFor(8.0), 2.0f);
  EXPECT_EQ(rateFor(0.1), 1.0f);
  av::setPlaybackCapabilities(*item(), false, true);
  EXPECT_EQ(rateFor(0.5), 0.5f);
  EXPECT_EQ(rateFor(1e300), 2.0f);  // beyond single precision: still clamped, never overflowed

  // Paused, a new speed is only remembered.
  call(id, "pause");
  EXPECT_EQ(rateFor(1.5), 0.0f);
  call(id, "play");
  EXPECT_EQ(avPlayer()->rate(), 1.5f);

  // Once the item is no longer ready, an unsupported slow speed leaves the rate as it was.
  av::setPlaybackCapabilities(*item(), true, false);
  av::failItem(*item(), NSError{"d", 1, "gone"});
  EXPECT_EQ(rateFor(0.5), 1.5f);
}

TEST_F(VideoPlayerTest, VolumeIsClampedToTheUnitRange) {
  int64_t id = createPlatformPlayer();
  for (auto [asked, set] :
       {std::pair{7.0, 1.0f}, {-1.0, 0.0f}, {1.0, 1.0f}, {0.3, 0.3f}, {1e-3, 1e-3f}}) {
    EXPECT_EQ(call(id, "setVolume", {Value(asked)}), ValueList{Value()});
    EXPECT_FLOAT_EQ(avPlayer()->volume(), set) << asked;
  }
}

TEST_F(EventNamesTest, InitializedReportsTheUnrotatedSizeAndAnIndefiniteDuration) {
  int64_t id = createPlatformPlayer();
  auto track = std::make_shared<AVAssetTrack>(AVAssetTrackProperties{
      1, AVMediaTypeVideo, {1920, 1080}, CGAffineTransform{0, 1, -1, 0, 0, 0}, CMTimeMake(1, 25)});
  av::setAssetTracks(*item()->asset(), {track});
  av::finishLoadingKey(*item()->asset(), "tracks");
  ASSERT_TRUE(dart.runUntil([&] {
    return track->statusOfValueForKey("preferredTransform", nullptr) == AVKeyValueStatusLoading;
  }));
  av::finishLoadingKey(*track, "preferredTransform");
  ASSERT_TRUE(dart.runUntil([&] { return item()->videoComposition().has_value(); }));
  EXPECT_EQ(CMTimeCompare(item()->videoComposition()->frameDuration, CMTimeMake(1, 25)), 0);

  av::setPresentationSize(*item(), CGSize{1920, 1080});
  makeReady(id, kCMTimeIndefinite);
  EXPECT_EQ(received(id).at(0).value(), (Value(ValueMap{{"event", "initialized"},
                                                        {"duration", int64_t{-9223372036854775807}},
                                                        {"width", 1920.0},
                                                        {"height", 1080.0}})));
  // Ready again (a status change after initialization) reports nothing new.
  av::makeItemReady(*item());
  EXPECT_EQ(names(id), std::vector<std::string>{"initialized"});
}

TEST_F(VideoPlayerTest, BufferedRegionsAreStartAndDurationInOrder) {
  int64_t id = createPlatformPlayer();
  makeReady(id);
  av::setLoadedTimeRanges(*item(), {CMTimeRangeMake(CMTimeMake(10, 1), CMTimeMake(3, 2)),
                                    CMTimeRangeMake(CMTimeMake(0, 1), CMTimeMake(1001, 3000))});
  ValueList expected{ValueList{int64_t{10000}, int64_t{1500}}, ValueList{int64_t{0}, int64_t{333}}};
  EXPECT_EQ(received(id).back().value(),
            (Value(ValueMap{{"event", "bufferingUpdate"}, {"values", expected}})));
  av::setLoadedTimeRanges(*item(), {});
  EXPECT_EQ(received(id).back().value(),
            (Value(ValueMap{{"event", "bufferingUpdate"}, {"values", ValueList{}}})));
}

TEST_F(EventNamesTest, EventsQueuedBeforeListeningArriveInOrder) {
  int64_t id = createPlatformPlayer();
  av::makeItemReady(*item());
  av::setPlaybackLikelyToKeepUp(*item(), false);
  av::setPlaybackLikelyToKeepUp(*item(), true);
  av::failItem(*item(), NSError{"d", 1, ""});
  ASSERT_TRUE(dart.listen(events(id)).isSuccess());
  EXPECT_EQ(names(id), (std::vector<std::string>{"initialized", "bufferingStart", "bufferingEnd",
                                                 "error:VideoError"}));
  const auto& failure = received(id).back();
  ASSERT_TRUE(failure.isError());
  EXPECT_EQ(failure.error().message, "Failed to load video");
  EXPECT_TRUE(failure.error().details.isNull());
}

TEST_F(VideoPlayerTest, ASeekPendingAtDisposalIsStillAnswered) {
  auto ids = createTexturePlayer();
  makeReady(ids.playerId);
  av::setSeeksHeld(true);
  auto pending = dart.sendBinary(
      kInstance + "seekTo." + std::to_string(ids.playerId),
      HVPVideoPlayerInstanceMessagesPigeonCodec()->encode(ValueList{Value(int64_t{2000})}));
  dart.drain();
  EXPECT_FALSE(pending.ready());
  call(ids.playerId, "dispose");
  auto reply = pending.wait();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(HVPVideoPlayerInstanceMessagesPigeonCodec()->decode(*reply), Value(ValueList{Value()}));
}

TEST_F(VideoPlayerTest, SelectingVideoBitRateZeroLiftsTheCap) {
  int64_t id = createPlatformPlayer();
  av::setVariants(
      *item()->asset(),
      {AVAssetVariant{2e6, AVAssetVariantVideoAttributes{{1280, 720}, 30, {0x61766331}}},
       AVAssetVariant{5e6, AVAssetVariantVideoAttributes{{1920, 1080}, 60, {}}}});
  auto pending = dart.sendBinary(kInstance + "getVideoTracks." + std::to_string(id),
                                 HVPVideoPlayerInstanceMessagesPigeonCodec()->encode(ValueList{}));
  dart.drain();
  EXPECT_FALSE(pending.ready());  // the reply waits for the variants
  av::finishLoadingKey(*item()->asset(), "variants");
  ASSERT_TRUE(pending.wait().has_value());

  auto selected = [&] {
    std::vector<int64_t> indexes;
    auto data = call(id, "getVideoTracks")[0].asCustom<HVPNativeVideoTrackData>();
    for (const auto& track : *data->mediaSelectionTracks) {
      if (track.isSelected) indexes.push_back(track.variantIndex);
    }
    return indexes;
  };
  call(id, "selectVideoTrack", {Value(int64_t{5000000})});
  EXPECT_EQ(selected(), std::vector<int64_t>{1});
  call(id, "selectVideoTrack", {Value(int64_t{0})});
  EXPECT_EQ(item()->preferredPeakBitRate(), 0.0);
  EXPECT_TRUE(selected().empty());
  call(id, "selectVideoTrack", {Value(int64_t{-5})});  // a negative cap selects nothing
  EXPECT_TRUE(selected().empty());

  auto data = call(id, "getVideoTracks")[0].asCustom<HVPNativeVideoTrackData>();
  const auto& hd = data->mediaSelectionTracks->at(1);
  EXPECT_EQ(hd.label, "1080p");
  EXPECT_EQ(hd.frameRate, 60.0);
  EXPECT_FALSE(hd.codec.has_value());  // no codec types listed
  EXPECT_EQ(data->mediaSelectionTracks->at(0).codec, "avc1");

  // The first system with variants lists them.
  foundation::testing::setEmulatedOperatingSystemVersion({12, 0, 0});
  EXPECT_TRUE(call(id, "getVideoTracks")[0].asCustom<HVPNativeVideoTrackData>() != nullptr);
}

TEST_F(VideoPlayerTest, AFailedVariantsLoadListsNothingRatherThanNull) {
  int64_t id = createPlatformPlayer();
  av::failLoadingKey(*item()->asset(), "variants", NSError{"d", 1, "offline"});
  auto data = call(id, "getVideoTracks")[0].asCustom<HVPNativeVideoTrackData>();
  ASSERT_NE(data, nullptr);
  ASSERT_TRUE(data->mediaSelectionTracks.has_value());
  EXPECT_TRUE(data->mediaSelectionTracks->empty());
}

TEST_F(VideoPlayerTest, AnAudioIndexOutOfRangeKeepsTheCurrentChoice) {
  int64_t id = createPlatformPlayer();
  auto group = std::make_shared<AVMediaSelectionGroup>();
  for (const char* name : {"English", "French"}) {
    group->options.push_back(
        std::make_shared<const AVMediaSelectionOption>(AVMediaSelectionOption{name}));
  }
  av::setMediaSelectionGroup(*item()->asset(), AVMediaCharacteristicAudible, group);
  auto selectedIndexes = [&] {
    std::vector<int64_t> indexes;
    ValueList reply = call(id, "getAudioTracks");
    for (const auto& track : *reply[0].asList()) {
      auto audio = track.asCustom<HVPMediaSelectionAudioTrackData>();
      if (audio->isSelected) indexes.push_back(audio->index);
    }
    return indexes;
  };
  EXPECT_TRUE(selectedIndexes().empty());  // no default option
  call(id, "selectAudioTrack", {Value(int64_t{1})});
  for (int64_t bad : {int64_t{-1}, int64_t{2}, INT64_MAX, INT64_MIN}) {
    EXPECT_EQ(call(id, "selectAudioTrack", {Value(bad)}), ValueList{Value()});
  }
  EXPECT_EQ(selectedIndexes(), std::vector<int64_t>{1});
}

// Frame pacing against the pinned media clock.
class FramePacingTest : public VideoPlayerTest {
 protected:
  void SetUp() override {
    VideoPlayerTest::SetUp();
    quartzcore::testing::setMediaTime(100.0);
    quartzcore::testing::setDisplayRefreshPeriod(1.0 / 60);
    ids = createTexturePlayer();
    makeReady(ids.playerId);
    call(ids.playerId, "play");
    foundation::testing::setLogCapture(true);
  }
  void TearDown() override {
    foundation::testing::setLogCapture(false);
    VideoPlayerTest::TearDown();
  }
  // Engine calls 1 ms apart, far faster than any display.
  void fastCalls(int count) {
    for (int i = 0; i < count; ++i) {
      engine->textures().copyPixelBuffer(ids.textureId);
      quartzcore::testing::advanceMediaTime(0.001);
    }
    dart.drain();
  }
  void refreshWithPeriod(double seconds) {
    quartzcore::testing::setDisplayRefreshPeriod(seconds);
    ASSERT_GE(quartzcore::testing::refreshDisplay(), 1);
  }
  int warnings() {
    int count = 0;
    for (const auto& line : foundation::testing::takeLogLines()) {
      count += line.find("unexpectedly short") != std::string::npos;
    }
    return count;
  }
  TexturePlayerIds ids;
};

TEST_F(FramePacingTest, ARefreshChangeOfOnePercentRestartsTheWindow) {
  refreshWithPeriod(1.0 / 60);
  fastCalls(5);
  refreshWithPeriod(1.0 / 60 * 1.02);
  fastCalls(10);  // the window restarted at the change: ten intervals not yet measured
  EXPECT_EQ(warnings(), 0);
  fastCalls(1);
  EXPECT_EQ(warnings(), 1);
}

TEST_F(FramePacingTest, ARefreshChangeBelowOnePercentKeepsTheWindow) {
  refreshWithPeriod(1.0 / 60);
  fastCalls(5);
  refreshWithPeriod(1.0 / 60 * 1.005);
  fastCalls(6);
  EXPECT_EQ(warnings(), 1);
}

TEST_F(FramePacingTest, FramesAreFetchedForOneRefreshAheadAndATargetThatDriftedStartsOver) {
  refreshWithPeriod(1.0 / 60);
  av::setPlaybackBufferEmpty(*item(), false);  // playing: the item's time runs with the clock
  auto output = av::videoOutputOf(*item());
  std::vector<CVPixelBufferRef> frames;
  for (int64_t halfRefresh : {0, 1, 3, 5}) {
    CVPixelBufferRef buffer;
    CVPixelBufferCreate(2, 2, kCVPixelFormatType_32BGRA, &buffer);
    frames.push_back(buffer);
    av::pushVideoFrame(*output, CMTimeMake(halfRefresh, 120), buffer);
  }
  auto copy = [&] { return engine->textures().copyPixelBuffer(ids.textureId); };
  // The target starts one refresh ahead of now: the frame shown between 1/120 s and 3/120 s.
  EXPECT_EQ(copy(), frames[1]);
  // A second engine call within the same refresh: the target, a refresh ahead, has drifted by
  // more than half a refresh and starts over from now, so the next frame is not taken early.
  EXPECT_EQ(copy(), frames[1]);
  // One refresh later, the item a refresh further on: the next frame.
  quartzcore::testing::advanceMediaTime(1.0 / 60);
  av::setCurrentTime(*item(), CMTimeMake(2, 120));
  EXPECT_EQ(copy(), frames[2]);
  dart.drain();
}

TEST_F(FramePacingTest, NoWarningBeforeTheFirstRefreshIsKnown) {
  int64_t before = engine->textures().frameAvailableCount(ids.textureId);
  fastCalls(30);
  EXPECT_EQ(warnings(), 0);
  // Every call still asked the engine for the next frame itself.
  EXPECT_EQ(engine->textures().frameAvailableCount(ids.textureId) - before, 30);
}

}  // namespace
}  // namespace movie_player_avfoundation::testing
