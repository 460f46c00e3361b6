// Playing, pausing, seeking and the processing state, driven through the channels while the
// AVFoundation stand-in plays the media.
#include <limits>

#include "plugins/playlist_audio/tests/audio_player_fixture.h"

namespace playlist_audio::testing {
namespace {

constexpr int32_t kIdle = 0, kBuffering = 2, kReady = 3, kCompleted = 4;

using AudioPlayerTransportTest = AudioPlayerTest;

TEST_F(AudioPlayerTransportTest, TimeControlStatusDrivesBufferingAndReady) {
  loadReady(uri("a"));
  EXPECT_EQ(last("processingState"), Value(kBuffering));
  auto play = callAsync("play");
  dart.drain();
  EXPECT_EQ(engine()->timeControlStatus(), AVPlayerTimeControlStatusWaitingToPlayAtSpecifiedRate);
  EXPECT_EQ(last("processingState"), Value(kBuffering));
  av::setPlaybackBufferEmpty(*current(), false);
  EXPECT_EQ(engine()->timeControlStatus(), AVPlayerTimeControlStatusPlaying);
  EXPECT_EQ(last("processingState"), Value(kReady));
  av::stallCurrentItem(*engine());
  EXPECT_EQ(last("processingState"), Value(kBuffering));
  av::setTimeControlStatus(*engine(), AVPlayerTimeControlStatusPlaying);
  EXPECT_EQ(last("processingState"), Value(kReady));

  // Once completed, waiting and playing no longer move the state.
  av::finishCurrentItem(*engine());
  EXPECT_EQ(play.wait().value, kEmpty);
  EXPECT_EQ(last("processingState"), Value(kCompleted));
  av::setTimeControlStatus(*engine(), AVPlayerTimeControlStatusWaitingToPlayAtSpecifiedRate);
  av::setTimeControlStatus(*engine(), AVPlayerTimeControlStatusPlaying);
  EXPECT_EQ(last("processingState"), Value(kCompleted));
}

TEST_F(AudioPlayerTransportTest, PlayAnswersArePendingUntilPlayingStops) {
  loadReady(uri("a"));
  size_t before = eventCount();
  EXPECT_EQ(call("pause").value, kEmpty);
  dart.drain();
  EXPECT_EQ(eventCount(), before);

  EXPECT_EQ(call("setSpeed", ValueMap{{"speed", 1.5}}).value, kEmpty);
  EXPECT_EQ(engine()->rate(), 0.0f);
  auto first = callAsync("play");
  dart.drain();
  EXPECT_FALSE(first.ready());
  EXPECT_EQ(engine()->rate(), 1.5f);
  EXPECT_EQ(call("play").value, kEmpty);
  EXPECT_FALSE(first.ready());
  EXPECT_EQ(call("pause").value, kEmpty);
  EXPECT_EQ(first.wait().value, kEmpty);
  EXPECT_EQ(engine()->rate(), 0.0f);

  auto disposed = callAsync("play");
  dart.drain();
  main("disposePlayer", ValueMap{{"id", "p"}});
  EXPECT_EQ(disposed.wait().value, kEmpty);
}

TEST_F(AudioPlayerTransportTest, SeekAfterCompletionResumesAtTheSpeed) {
  loadReady(uri("a"));
  call("setSpeed", ValueMap{{"speed", 2.0}});
  auto play = callAsync("play");
  av::finishCurrentItem(*engine());
  EXPECT_TRUE(play.wait().isSuccess());
  EXPECT_EQ(engine()->rate(), 0.0f);
  EXPECT_TRUE(seek(0).isSuccess());
  EXPECT_EQ(engine()->rate(), 2.0f);
}

TEST_F(AudioPlayerTransportTest, LiveStreamPositionsCountFromTheSeekableWindow) {
  auto pending = loadAsync(uri("live"));
  av::setSeekableTimeRanges(*current(), {CMTimeRangeMake(seconds(600), seconds(60))});
  av::makeItemReady(*current(), kCMTimeIndefinite);
  EXPECT_EQ(pending.wait().value, Value(ValueMap{{"duration", int64_t{60000000}}}));
  av::setCurrentTime(*current(), seconds(630));
  av::setPlaybackBufferEmpty(*current(), false);
  EXPECT_EQ(last("updatePosition"), Value(int64_t{30000000}));

  av::setSeeksHeld(true);
  auto seeking = seekAsync(int64_t{10000000});
  dart.drain();
  EXPECT_EQ(av::pendingSeekTime(*current()), seconds(610));
  av::completePendingSeek(*current());
  EXPECT_TRUE(seeking.wait().isSuccess());
  EXPECT_EQ(last("updatePosition"), Value(int64_t{10000000}));
}

TEST_F(AudioPlayerTransportTest, UnknownAndEndlessDurationsAreReportedAsUnknown) {
  auto pending = loadAsync(uri("radio"));
  av::makeItemReady(*current(), kCMTimePositiveInfinity);
  EXPECT_EQ(pending.wait().value, Value(ValueMap{{"duration", int64_t{-1}}}));
  pending = loadAsync(uri("radio"));
  av::makeItemReady(*current(), kCMTimeInvalid);
  EXPECT_EQ(pending.wait().value, Value(ValueMap{{"duration", int64_t{-1}}}));

  // A seek to the end of an endless leaf reports zero, not a garbage position.
  av::setSeeksHeld(true);
  auto toEnd = seekAsync(nullptr);
  EXPECT_EQ(last("updatePosition"), Value(int64_t{0}));
  av::completePendingSeek(*current());
  EXPECT_TRUE(toEnd.wait().isSuccess());
}

TEST_F(AudioPlayerTransportTest, ExtremePositionsSaturate) {
  loadReady(uri("a"));
  av::setSeeksHeld(true);
  auto far = seekAsync(std::numeric_limits<int64_t>::max());
  EXPECT_EQ(last("updatePosition"), Value(int64_t{std::numeric_limits<int32_t>::max()} * 1000));
  auto before = seekAsync(std::numeric_limits<int64_t>::min());
  EXPECT_EQ(last("updatePosition"), Value(int64_t{0}));
  EXPECT_TRUE(far.wait().isSuccess());
  av::completePendingSeek(*current());
  EXPECT_TRUE(before.wait().isSuccess());
}

TEST_F(AudioPlayerTransportTest, ClipMapsTimesOntoItsWindow) {
  auto pending = loadAsync(clip("c", uri("a"), int64_t{10000000}, int64_t{20000000}));
  av::makeItemReady(*current(), seconds(60));
  EXPECT_EQ(pending.wait().value, Value(ValueMap{{"duration", int64_t{10000000}}}));
  EXPECT_EQ(current()->forwardPlaybackEndTime(), seconds(20));
  dart.drain();
  EXPECT_EQ(current()->currentTime(), seconds(10));

  // Buffered beyond the clip's end counts only up to it.
  av::setLoadedTimeRanges(*current(), {CMTimeRangeMake(kCMTimeZero, seconds(50))});
  EXPECT_EQ(last("bufferedPosition"), Value(int64_t{10000000}));
  av::setLoadedTimeRanges(*current(), {CMTimeRangeMake(kCMTimeZero, seconds(15))});
  EXPECT_EQ(last("bufferedPosition"), Value(int64_t{5000000}));

  av::setSeeksHeld(true);
  auto seeking = seekAsync(int64_t{2000000});
  dart.drain();
  EXPECT_EQ(av::pendingSeekTime(*current()), seconds(12));
  av::completePendingSeek(*current());
  EXPECT_TRUE(seeking.wait().isSuccess());
  EXPECT_EQ(last("updatePosition"), Value(int64_t{2000000}));
}

TEST_F(AudioPlayerTransportTest, ASeekToTheEndOfAClipLandsAtTheClipEnd) {
  loadReady(clip("c", uri("a"), int64_t{10000000}, int64_t{20000000}));
  av::setSeeksHeld(true);
  auto toEnd = seekAsync(nullptr);
  dart.drain();
  EXPECT_EQ(av::pendingSeekTime(*current()), seconds(20));
  EXPECT_EQ(last("updatePosition"), Value(int64_t{10000000}));
  av::completePendingSeek(*current());
  EXPECT_TRUE(toEnd.wait().isSuccess());
  EXPECT_EQ(last("updatePosition"), Value(int64_t{10000000}));
  auto past = seekAsync(int64_t{40000000});
  dart.drain();
  EXPECT_EQ(av::pendingSeekTime(*current()), seconds(20));
  av::completePendingSeek(*current());
  EXPECT_TRUE(past.wait().isSuccess());
}

TEST_F(AudioPlayerTransportTest, ReloadingAClipWithNewBoundsMovesBothItems) {
  loadReady(clip("c", uri("a"), int64_t{10000000}, int64_t{20000000}));
  call("setLoopMode", ValueMap{{"loopMode", 1}});
  auto second = engine()->items()[1];
  EXPECT_EQ(second->forwardPlaybackEndTime(), seconds(20));
  loadReady(clip("c", uri("a"), int64_t{5000000}, int64_t{15000000}));
  dart.drain();
  ASSERT_EQ(engine()->items().back(), second);
  EXPECT_EQ(current()->forwardPlaybackEndTime(), seconds(15));
  EXPECT_EQ(second->forwardPlaybackEndTime(), seconds(15));
  EXPECT_EQ(CMTimeGetSeconds(second->currentTime()), 5.0);
}

TEST_F(AudioPlayerTransportTest, OnlyTheNewestSeekSettlesTheState) {
  loadReady(playlist(2));
  av::setPlaybackBufferEmpty(*current(), false);
  ASSERT_EQ(last("processingState"), Value(kReady));
  av::setSeeksHeld(true);
  // On the same leaf: the first seek is superseded by the second.
  auto first = seekAsync(int64_t{10000000});
  auto second = seekAsync(int64_t{30000000});
  EXPECT_TRUE(first.wait().isSuccess());
  dart.drain();
  EXPECT_FALSE(second.ready());
  EXPECT_EQ(last("processingState"), Value(kBuffering));
  EXPECT_EQ(last("updatePosition"), Value(int64_t{30000000}));
  av::completePendingSeek(*current());
  EXPECT_TRUE(second.wait().isSuccess());
  EXPECT_EQ(last("processingState"), Value(kReady));
  EXPECT_EQ(last("updatePosition"), Value(int64_t{30000000}));

  // To another leaf, then on it.
  first = seekAsync(int64_t{10000000}, 1);
  second = seekAsync(int64_t{40000000});
  EXPECT_TRUE(first.wait().isSuccess());
  dart.drain();
  EXPECT_FALSE(second.ready());
  EXPECT_EQ(last("processingState"), Value(kBuffering));
  EXPECT_EQ(last("updatePosition"), Value(int64_t{40000000}));
  av::completePendingSeek(*current());
  EXPECT_TRUE(second.wait().isSuccess());
  EXPECT_EQ(last("updatePosition"), Value(int64_t{40000000}));
}

TEST_F(AudioPlayerTransportTest, SpeedAndVolumeAreFiniteAndClamped) {
  loadReady(uri("a"));
  auto play = callAsync("play");
  dart.drain();
  const double kInfinity = std::numeric_limits<double>::infinity();
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {kNaN, kInfinity, -kInfinity}) {
    auto speed = call("setSpeed", ValueMap{{"speed", bad}});
    EXPECT_EQ(speed.error.code, "error");
    EXPECT_EQ(speed.error.message, "Error in handleMethodCall");
    EXPECT_TRUE(call("setVolume", ValueMap{{"volume", bad}}).isError());
  }
  EXPECT_EQ(engine()->rate(), 1.0f);
  EXPECT_EQ(engine()->volume(), 1.0f);

  EXPECT_TRUE(call("setSpeed", ValueMap{{"speed", 1e300}}).isSuccess());
  EXPECT_EQ(engine()->rate(), 32.0f);
  EXPECT_TRUE(call("setSpeed", ValueMap{{"speed", -2.0}}).isSuccess());
  EXPECT_EQ(engine()->rate(), 1.0f / 32);
  EXPECT_TRUE(call("setSpeed", ValueMap{{"speed", 0.5}}).isSuccess());
  EXPECT_EQ(engine()->rate(), 0.5f);
  EXPECT_TRUE(call("setVolume", ValueMap{{"volume", 1e300}}).isSuccess());
  EXPECT_EQ(engine()->volume(), 1.0f);
  EXPECT_TRUE(call("setVolume", ValueMap{{"volume", -1.0}}).isSuccess());
  EXPECT_EQ(engine()->volume(), 0.0f);
  EXPECT_TRUE(call("setVolume", ValueMap{{"volume", 0.25}}).isSuccess());
  EXPECT_EQ(engine()->volume(), 0.25f);
  call("pause");
  EXPECT_TRUE(play.wait().isSuccess());
}

TEST_F(AudioPlayerTransportTest, PausedSeekToAnotherLeafBuffersUntilTheBufferConfirms) {
  loadReady(playlist(3));
  av::setSeeksHeld(true);
  auto seeking = seekAsync(int64_t{5000000}, 1);
  dart.drain();
  EXPECT_EQ(name(current()), "s1.mp3");
  EXPECT_EQ(last("processingState"), Value(kBuffering));
  EXPECT_EQ(last("updatePosition"), Value(int64_t{5000000}));
  av::completePendingSeek(*current());
  EXPECT_TRUE(seeking.wait().isSuccess());
  EXPECT_EQ(last("processingState"), Value(kBuffering));
  av::setPlaybackBufferEmpty(*current(), false);
  EXPECT_EQ(last("processingState"), Value(kReady));

  // A full buffer when the seek lands makes the player ready at once.
  seeking = seekAsync(int64_t{5000000}, 2);
  dart.drain();
  EXPECT_EQ(last("processingState"), Value(kBuffering));
  av::setPlaybackBufferFull(*current(), true);
  EXPECT_EQ(last("processingState"), Value(kBuffering));
  av::completePendingSeek(*current());
  EXPECT_TRUE(seeking.wait().isSuccess());
  EXPECT_EQ(last("processingState"), Value(kReady));
  EXPECT_EQ(last("currentIndex"), Value(int32_t{2}));
}

TEST_F(AudioPlayerTransportTest, SeekQueuedOnALoadingLeafIsReplacedAndAnswered) {
  auto load = loadAsync(playlist(2));
  av::makeItemReady(*current(), seconds(60));
  ASSERT_TRUE(load.wait().isSuccess());
  auto first = seekAsync(int64_t{5000000}, 1);
  auto second = seekAsync(int64_t{7000000});
  EXPECT_TRUE(first.wait().isSuccess());
  dart.drain();
  EXPECT_FALSE(second.ready());
  EXPECT_EQ(name(current()), "s1.mp3");
  av::makeItemReady(*current(), seconds(60));
  EXPECT_TRUE(second.wait().isSuccess());
  EXPECT_EQ(current()->currentTime(), seconds(7));
}

TEST_F(AudioPlayerTransportTest, SeekWhileLoadingCompletesAtOnce) {
  auto load = loadAsync(uri("a"));
  EXPECT_EQ(seek(0).value, kEmpty);
  EXPECT_FALSE(av::hasPendingSeek(*current()));
  av::makeItemReady(*current(), seconds(60));
  EXPECT_TRUE(load.wait().isSuccess());
  EXPECT_TRUE(seek(0, -1).isError());
  EXPECT_EQ(last("processingState"), Value(kBuffering));
}

TEST_F(AudioPlayerTransportTest, ItemFailuresReachTheDartSideOnlyWhenCurrent) {
  loadReady(playlist(2));
  auto queued = engine()->items()[1];
  size_t before = eventCount();
  av::failItem(*queued, NSError{"net", 404, "Gone"});
  av::failCurrentItemToPlayToEnd(*engine(), NSError{"net", 1, "Broken"});
  dart.drain();
  EXPECT_EQ(eventCount(), before);

  av::finishCurrentItem(*engine());
  dart.drain();
  const auto& events = dart.events(kEvents);
  ASSERT_GE(events.size(), 2u);
  const auto& error = events[events.size() - 2];
  ASSERT_TRUE(error.isError());
  EXPECT_EQ(error.error().code, "404");
  EXPECT_EQ(error.error().message, "Gone");
  EXPECT_EQ(error.error().details, Value(ValueMap{{"index", int32_t{1}}}));
  EXPECT_EQ(last("processingState"), Value(kIdle));
  EXPECT_EQ(last("errorCode"), Value(int32_t{404}));
  EXPECT_TRUE(engine()->items().empty());

  // A new load clears the error.
  loadReady(uri("b"));
  EXPECT_EQ(last("errorCode"), Value());
  EXPECT_EQ(last("errorMessage"), Value());
}

TEST_F(AudioPlayerTransportTest, StreamMetadataNeedsAnIcyItemAndOutlivesLoads) {
  loadReady(uri("radio"));
  size_t before = eventCount();
  av::deliverTimedMetadata(*current(), {AVTimedMetadataGroup{{{"id3/TIT2", std::string("x")}}}});
  dart.drain();
  EXPECT_EQ(eventCount(), before);
  av::deliverTimedMetadata(*current(),
                           {AVTimedMetadataGroup{{{"icy/StreamTitle", std::string("Song")}}}});
  EXPECT_EQ(last("icyMetadata"),
            Value(ValueMap{{"info", ValueMap{{"title", "Song"}, {"url", nullptr}}}}));
  av::deliverTimedMetadata(*current(),
                           {AVTimedMetadataGroup{{{"icy/StreamTitle", std::string("One")}}},
                            AVTimedMetadataGroup{{{"icy/StreamUrl", std::string("https://x")},
                                                  {"icy/StreamTitle", std::string("Two")}}}});
  Value expected = ValueMap{{"info", ValueMap{{"title", "Two"}, {"url", "https://x"}}}};
  EXPECT_EQ(last("icyMetadata"), expected);
  loadReady(uri("other"));
  EXPECT_EQ(last("icyMetadata"), expected);
}

}  // namespace
}  // namespace playlist_audio::testing
