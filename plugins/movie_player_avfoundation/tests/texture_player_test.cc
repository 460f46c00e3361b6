// The texture path: frames after seeks, frame pacing against the media clock, buffer ownership,
// the display links' lifetime, and copyPixelBuffer racing a dispose.
#include <atomic>
#include <thread>

#include "plugins/movie_player_avfoundation/tests/video_player_fixture.h"

namespace movie_player_avfoundation::testing {
namespace {

CVPixelBufferRef frame() {
  CVPixelBufferRef buffer;
  CVPixelBufferCreate(2, 2, kCVPixelFormatType_32BGRA, &buffer);
  return buffer;
}

class TexturePlayerTest : public VideoPlayerTest {
 protected:
  void SetUp() override {
    VideoPlayerTest::SetUp();
    quartzcore::testing::setMediaTime(100.0);
    quartzcore::testing::setDisplayRefreshPeriod(1.0 / 60);
  }
  CVPixelBufferRef copy(int64_t textureId) { return engine->textures().copyPixelBuffer(textureId); }
  std::shared_ptr<AVPlayerItemVideoOutput> output() { return av::videoOutputOf(*item()); }
};

TEST_F(TexturePlayerTest, PausedSeekShowsExactlyOneNewFrame) {
  auto ids = createTexturePlayer();
  makeReady(ids.playerId);
  auto first = frame(), second = frame();
  av::pushVideoFrame(*output(), kCMTimeZero, first);
  EXPECT_EQ(quartzcore::testing::refreshDisplay(), 1);  // awaiting the first frame
  EXPECT_EQ(copy(ids.textureId), first);
  dart.drain();
  EXPECT_EQ(quartzcore::testing::refreshDisplay(), 0);  // shown while paused: the link stops

  av::pushVideoFrame(*output(), CMTimeMake(5, 1), second);
  call(ids.playerId, "seekTo", {Value(int64_t{5000})});
  int64_t signalled = engine->textures().frameAvailableCount(ids.textureId);
  EXPECT_EQ(quartzcore::testing::refreshDisplay(), 1);
  EXPECT_EQ(engine->textures().frameAvailableCount(ids.textureId), signalled + 1);
  EXPECT_EQ(copy(ids.textureId), second);
  dart.drain();
  EXPECT_EQ(quartzcore::testing::refreshDisplay(), 0);
  EXPECT_EQ(copy(ids.textureId), second);  // the same frame again, nothing new

  // A seek that does not move the position does not wake the link.
  call(ids.playerId, "seekTo", {Value(int64_t{5000})});
  EXPECT_EQ(quartzcore::testing::refreshDisplay(), 0);
}

TEST_F(TexturePlayerTest, BuffersAreHandedOverWithOneMoreReferenceAndTheOldOneReleased) {
  auto ids = createTexturePlayer();
  makeReady(ids.playerId);
  EXPECT_EQ(copy(ids.textureId), nullptr);  // no frame yet
  std::weak_ptr<CVPixelBuffer> old;
  {
    auto first = frame();
    old = first;
    av::pushVideoFrame(*output(), kCMTimeZero, std::move(first));
  }
  auto handed = copy(ids.textureId);
  // The engine's copy, the player's latest and the output's current frame.
  EXPECT_EQ(CFGetRetainCount(handed), 3);
  handed.reset();
  av::pushVideoFrame(*output(), kCMTimeZero, frame());
  av::setCurrentTime(*item(), CMTimeMake(1, 30));
  av::pushVideoFrame(*output(), CMTimeMake(1, 30), frame());
  copy(ids.textureId);
  EXPECT_TRUE(old.expired());
}

TEST_F(TexturePlayerTest, FastEngineCallsEndSelfRefreshWithOneWarning) {
  auto ids = createTexturePlayer();
  makeReady(ids.playerId);
  call(ids.playerId, "play");
  quartzcore::testing::refreshDisplay();  // the refresh period becomes known
  foundation::testing::setLogCapture(true);
  auto selfRequests = [&] {
    int64_t before = engine->textures().frameAvailableCount(ids.textureId);
    copy(ids.textureId);
    dart.drain();
    return engine->textures().frameAvailableCount(ids.textureId) - before;
  };
  // Ten calls at the refresh rate change nothing.
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(selfRequests(), 1);
    quartzcore::testing::advanceMediaTime(1.0 / 60);
  }
  // A refresh change restarts the window; then ten calls far too fast warn once.
  quartzcore::testing::setDisplayRefreshPeriod(1.0 / 30);
  quartzcore::testing::refreshDisplay();
  for (int i = 0; i < 11; ++i) {
    selfRequests();
    quartzcore::testing::advanceMediaTime(0.001);
  }
  EXPECT_EQ(selfRequests(), 0);
  auto lines = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);
  int warnings = 0;
  for (const auto& line : lines) {
    if (line.find("unexpectedly short (0.001000/0.033333)") != std::string::npos) ++warnings;
  }
  EXPECT_EQ(warnings, 1);
}

TEST_F(TexturePlayerTest, ReadingTheTextureFasterThanTheRefreshLeavesItsPacingAlone) {
  auto ids = createTexturePlayer();
  makeReady(ids.playerId);
  call(ids.playerId, "play");
  quartzcore::testing::refreshDisplay();  // the refresh period becomes known
  foundation::testing::setLogCapture(true);
  // The Dart side inspects the texture every millisecond, far faster than the display refreshes.
  for (int i = 0; i < 40; ++i) {
    av::pushVideoFrame(*output(), CMTimeMake(i, 1000), frame());
    av::setCurrentTime(*item(), CMTimeMake(i, 1000));
    EXPECT_TRUE(dart.invokeMethod("flutter/textures", "copyFrame", Value(ids.textureId)).isSuccess());
    dart.drain();
    quartzcore::testing::advanceMediaTime(0.001);
  }
  auto lines = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);
  for (const auto& line : lines) EXPECT_EQ(line.find("unexpectedly short"), std::string::npos);
  // The texture still asks for its next frame itself after the engine draws it.
  int64_t before = engine->textures().frameAvailableCount(ids.textureId);
  copy(ids.textureId);
  dart.drain();
  EXPECT_EQ(engine->textures().frameAvailableCount(ids.textureId), before + 1);
}

TEST_F(TexturePlayerTest, DisposingFreesTheCoreVideoLinkAndUpdater) {
  foundation::testing::setEmulatedOperatingSystemVersion({13, 0, 0});
  int live = av::liveDisplayLinkCount();
  int running = av::runningDisplayLinkCount();
  auto ids = createTexturePlayer();
  EXPECT_EQ(av::liveDisplayLinkCount(), live + 1);
  EXPECT_EQ(av::runningDisplayLinkCount(), running + 1);  // awaiting the first frame
  EXPECT_EQ(av::tickDisplayLinks(), running + 1);
  dart.runUntil([&] { return engine->textures().frameAvailableCount(ids.textureId) == 1; });
  call(ids.playerId, "dispose");
  dart.drain();
  EXPECT_EQ(av::liveDisplayLinkCount(), live);
}

TEST_F(TexturePlayerTest, CopyPixelBufferRacesDisposeSafely) {
  foundation::testing::setEmulatedOperatingSystemVersion({13, 0, 0});
  quartzcore::testing::useMachineClock();
  auto ids = createTexturePlayer();
  makeReady(ids.playerId);
  call(ids.playerId, "play");
  av::pushVideoFrame(*output(), kCMTimeZero, frame());
  std::atomic<bool> stop{false};
  std::atomic<int> copies{0};
  std::thread engineThread([&] {
    while (!stop.load()) {
      engine->textures().copyPixelBuffer(ids.textureId);
      copies.fetch_add(1);
    }
  });
  for (int i = 0; i < 20; ++i) {
    av::tickDisplayLinks();
    call(ids.playerId, i % 2 ? "play" : "pause");
    call(ids.playerId, "seekTo", {Value(int64_t{i})});
  }
  dart.runUntil([&] { return copies.load() > 100; });
  call(ids.playerId, "dispose");
  stop = true;
  engineThread.join();
  dart.drain();
  EXPECT_FALSE(engine->textures().isRegistered(ids.textureId));
}

}  // namespace
}  // namespace movie_player_avfoundation::testing
