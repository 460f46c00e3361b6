// Playback through the per-player channels: events, playing state, speed and volume clamps,
// looping versus completion, seeks and load failures.
#include "plugins/movie_player_avfoundation/hvp_video_geometry.h"
#include "plugins/movie_player_avfoundation/tests/video_player_fixture.h"

namespace movie_player_avfoundation::testing {
namespace {

TEST_F(VideoPlayerTest, EventsQueueBeforeListenAndStopAfterCancel) {
  int64_t id = createPlatformPlayer();
  av::setPresentationSize(*item(), CGSize{640, 360});
  av::setAssetDuration(*item()->asset(), CMTimeMake(90, 1));
  av::makeItemReady(*item());
  call(id, "play");  // rate set: "isPlayingStateUpdate" queued after "initialized"
  ASSERT_TRUE(dart.listen(events(id)).isSuccess());
  const auto& early = received(id);
  ASSERT_GE(early.size(), 2u);
  EXPECT_EQ(early[0].value(), (Value(ValueMap{{"event", "initialized"},
                                              {"duration", int64_t{90000}},
                                              {"width", 640.0},
                                              {"height", 360.0}})));
  EXPECT_EQ(lastEventName(id), "isPlayingStateUpdate");

  size_t before = received(id).size();
  ASSERT_TRUE(dart.cancel(events(id)).isSuccess());
  call(id, "pause");
  ASSERT_TRUE(dart.listen(events(id)).isSuccess());
  EXPECT_EQ(received(id).size(), before);
  call(id, "play");
  EXPECT_EQ(received(id).back().value(),
            (Value(ValueMap{{"event", "isPlayingStateUpdate"}, {"isPlaying", true}})));
}

TEST_F(VideoPlayerTest, PlayWaitsForReadinessAndSpeedClampsByCapability) {
  int64_t id = createPlatformPlayer();
  call(id, "setPlaybackSpeed", {Value(3.0)});
  call(id, "play");
  EXPECT_EQ(avPlayer()->rate(), 0.0f);  // only the wish is recorded before the item is ready

  av::setPlaybackCapabilities(*item(), false, false);
  makeReady(id);
  EXPECT_EQ(avPlayer()->rate(), 2.0f);
  call(id, "setPlaybackSpeed", {Value(0.5)});
  EXPECT_EQ(avPlayer()->rate(), 1.0f);
  av::setPlaybackCapabilities(*item(), true, true);
  call(id, "setPlaybackSpeed", {Value(0.5)});
  EXPECT_EQ(avPlayer()->rate(), 0.5f);
  call(id, "pause");
  EXPECT_EQ(avPlayer()->rate(), 0.0f);

  for (auto [asked, set] : {std::pair{-1.0, 0.0f}, {7.0, 1.0f}, {0.3, 0.3f}}) {
    call(id, "setVolume", {Value(asked)});
    EXPECT_FLOAT_EQ(avPlayer()->volume(), set);
  }
  call(id, "setVolume", {Value()});
  EXPECT_EQ(avPlayer()->volume(), 0.0f);
}

TEST_F(VideoPlayerTest, SpeedOnAnItemNotReadyLeavesTheRate) {
  int64_t id = createPlatformPlayer();
  makeReady(id);
  av::setPlaybackCapabilities(*item(), false, true);
  call(id, "play");
  av::failItem(*item(), NSError{"d", 1, "gone"});
  call(id, "setPlaybackSpeed", {Value(3.0)});
  EXPECT_EQ(avPlayer()->rate(), 1.0f);
}

TEST_F(VideoPlayerTest, LoopingSeeksBackWhileOtherwiseTheEndCompletes) {
  int64_t id = createPlatformPlayer();
  makeReady(id);
  auto post = [&] {
    NSNotificationCenter::defaultCenter()->postNotificationName(
        AVPlayerItemDidPlayToEndTimeNotification, std::static_pointer_cast<void>(item()));
    dart.drain();
  };
  av::setCurrentTime(*item(), CMTimeMake(60, 1));
  post();
  EXPECT_EQ(lastEventName(id), "completed");
  call(id, "setLooping", {Value(true)});
  size_t before = received(id).size();
  post();
  EXPECT_EQ(received(id).size(), before);
  EXPECT_EQ(CMTimeCompare(item()->currentTime(), kCMTimeZero), 0);
}

TEST_F(VideoPlayerTest, SeeksAreExactExceptAtTheEndInMilliseconds) {
  int64_t id = createPlatformPlayer();
  makeReady(id, CMTimeMake(90000, 600));  // 150 s: raw value 90000, 150000 ms
  av::setSeeksHeld(true);
  auto pending = [&](int64_t ms) {
    return dart.sendMessage(kInstance + "seekTo." + std::to_string(id), ValueList{Value(ms)},
                            HVPVideoPlayerInstanceMessagesPigeonCodec(),
                            std::chrono::milliseconds(50));
  };
  auto tolerance = [&] {
    auto seek = av::pendingSeek(*item());
    EXPECT_TRUE(seek.has_value());
    if (!seek) return int64_t{-1};
    EXPECT_EQ(CMTimeCompare(seek->toleranceBefore, seek->toleranceAfter), 0);
    return HVPMillisFromTime(seek->toleranceAfter);
  };
  EXPECT_FALSE(pending(150000).has_value());  // the reply waits for the seek
  EXPECT_EQ(CMTimeCompare(av::pendingSeek(*item())->toleranceBefore, CMTimeMake(1, 1000)), 0);
  EXPECT_EQ(tolerance(), 1);
  ASSERT_TRUE(av::completePendingSeek(*item()));
  dart.drain();
  EXPECT_EQ(call(id, "getPosition"), ValueList{Value(int64_t{150000})});
  // Anywhere else, and at the duration's raw value, the seek is exact.
  for (int64_t elsewhere : {int64_t{90000}, int64_t{149999}, int64_t{0}}) {
    EXPECT_FALSE(pending(elsewhere).has_value());
    EXPECT_EQ(tolerance(), 0) << elsewhere;
    ASSERT_TRUE(av::completePendingSeek(*item()));
  }
  av::setSeeksHeld(false);
  EXPECT_EQ(call(id, "seekTo", {Value(int64_t{1234})}), ValueList{Value()});
  EXPECT_EQ(call(id, "getPosition"), ValueList{Value(int64_t{1234})});
}

TEST_F(VideoPlayerTest, FailedLoadsReportTheirTextOnce) {
  int64_t id = createPlatformPlayer();
  ASSERT_TRUE(dart.listen(events(id)).isSuccess());
  av::failItem(*item(), NSError{"AVFoundationErrorDomain", -11800, "The operation failed"});
  auto all = received(id);
  ASSERT_TRUE(all.back().isError());
  EXPECT_EQ(all.back().error().code, "VideoError");
  EXPECT_EQ(all.back().error().message, "Failed to load video: The operation failed");

  int64_t other = createPlatformPlayer();
  ASSERT_TRUE(dart.listen(events(other)).isSuccess());
  av::failLoadingKey(*item()->asset(), "tracks", NSError{"d", 1, ""});
  av::failItem(*item(), NSError{"d", 2, "ignored: the tracks' error wins"});
  EXPECT_EQ(received(other).back().error().message, "Failed to load video");

  // The reason and the wrapped error add their texts, each once.
  int64_t wrapped = createPlatformPlayer();
  ASSERT_TRUE(dart.listen(events(wrapped)).isSuccess());
  auto underlying = std::make_shared<const NSError>(
      NSError{"NSOSStatusErrorDomain", -12847, "The operation failed", "Unsupported format"});
  av::failItem(*item(), NSError{"AVFoundationErrorDomain", -11828, "The operation failed",
                                "Cannot open", underlying});
  EXPECT_EQ(received(wrapped).back().error().message,
            "Failed to load video: The operation failed: Cannot open: Unsupported format");
}

TEST_F(VideoPlayerTest, BufferingAndDisposalEvents) {
  int64_t id = createPlatformPlayer();
  makeReady(id);
  av::setLoadedTimeRanges(*item(), {CMTimeRangeMake(CMTimeMake(1, 1), CMTimeMake(5, 2))});
  EXPECT_EQ(received(id).back().value(),
            (Value(ValueMap{{"event", "bufferingUpdate"},
                            {"values", ValueList{ValueList{int64_t{1000}, int64_t{2500}}}}})));
  av::setPlaybackLikelyToKeepUp(*item(), true);
  EXPECT_EQ(lastEventName(id), "bufferingEnd");
  av::setPlaybackLikelyToKeepUp(*item(), false);
  EXPECT_EQ(lastEventName(id), "bufferingStart");

  auto player = avPlayer();
  call(id, "dispose");
  EXPECT_EQ(player->currentItem(), nullptr);
  EXPECT_EQ(call(id, "dispose"), ValueList{});
}

}  // namespace
}  // namespace movie_player_avfoundation::testing
