// Players over the media library, as in the running host: a real file initializes with its real
// duration and size, shows its frames and completes; what cannot be played sends the error event;
// every call is answered.
#include "platform/avfoundation/internal/stream_decoder.h"
#include "platform/avfoundation/testing/media_backing_controls.h"
#include "platform/avfoundation/tests/media_recipes.h"
#include "plugins/movie_player_avfoundation/tests/video_player_fixture.h"

namespace movie_player_avfoundation::testing {
namespace {

class RealMediaTest : public VideoPlayerTest {
 protected:
  void SetUp() override {
    VideoPlayerTest::SetUp();
    av::useMediaLibrary();
  }
  void TearDown() override {
    av::useMediaModel();
    VideoPlayerTest::TearDown();
  }
  // The first event of the player's channel with that name (or an error event), waiting for it.
  std::optional<flutter::testing::ReceivedEvent> awaitEvent(int64_t playerId,
                                                            const std::string& name) {
    std::optional<flutter::testing::ReceivedEvent> found;
    dart.runUntil(
        [&] {
          for (const auto& event : dart.events(events(playerId))) {
            const Value* event_name = event.isValue() ? event.value().find("event") : nullptr;
            if ((name.empty() && event.isError()) ||
                (event_name && event_name->asString() && *event_name->asString() == name)) {
              found = event;
              return true;
            }
          }
          return false;
        },
        std::chrono::seconds(30));
    return found;
  }
  static int64_t integer(const flutter::testing::ReceivedEvent& event, const char* key) {
    const Value* value = event.value().find(key);
    return value && value->asInteger() ? *value->asInteger() : -1;
  }
};

TEST_F(RealMediaTest, ATexturePlayerOnARealFileShowsItsFramesAndCompletes) {
  auto ids = createTexturePlayer(std::string("file://") + MEDIA_FIXTURE);
  ASSERT_TRUE(dart.listen(events(ids.playerId)).isSuccess());
  auto initialized = awaitEvent(ids.playerId, "initialized");
  ASSERT_TRUE(initialized.has_value());
  EXPECT_EQ(integer(*initialized, "duration"), 1000);
  EXPECT_EQ(initialized->value().find("width")->doubleValue(), 160.0);
  EXPECT_EQ(initialized->value().find("height")->doubleValue(), 120.0);

  call(ids.playerId, "play");
  CVPixelBufferRef frame;
  ASSERT_TRUE(dart.runUntil([&] {
    frame = engine->textures().copyPixelBuffer(ids.textureId);
    return frame != nullptr;
  }));
  EXPECT_EQ(frame->width(), 160u);
  EXPECT_EQ(frame->pixelFormatType(), kCVPixelFormatType_32BGRA);
  ASSERT_TRUE(awaitEvent(ids.playerId, "completed").has_value());
  int64_t position = *call(ids.playerId, "getPosition")[0].asInteger();
  EXPECT_EQ(position, 1000);

  // A file has no variants: the list is empty, and it is answered.
  auto tracks = call(ids.playerId, "getVideoTracks");
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_TRUE(tracks[0].asCustom<HVPNativeVideoTrackData>()->mediaSelectionTracks->empty());
  call(ids.playerId, "dispose");
}

TEST_F(RealMediaTest, ADisposedPlayerDecodesNoMoreThanTheFrameInDecoding) {
  using avfoundation::internal::StreamDecoder;
  auto movie = av::madeMedia("dispose_720p.mp4",
                             {"-f", "lavfi", "-i", "testsrc=size=1280x720:rate=25:duration=20",
                              "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"});
  auto ids = createTexturePlayer("file://" + movie);
  ASSERT_TRUE(dart.listen(events(ids.playerId)).isSuccess());
  ASSERT_TRUE(awaitEvent(ids.playerId, "initialized").has_value());
  call(ids.playerId, "play");
  ASSERT_TRUE(dart.runUntil([&] { return engine->textures().copyPixelBuffer(ids.textureId) != nullptr; }));
  // Something still holds the item (a load or a seek in flight would), and its time moves.
  auto held = item();
  ASSERT_NE(held, nullptr);
  call(ids.playerId, "dispose");
  uint64_t atDisposal = StreamDecoder::framesMadeInProcess();
  held->seekToTime(CMTimeMake(10, 1), kCMTimeZero, kCMTimeZero, nullptr);
  // Time enough for a running decoder to make a dozen frames; the count is what is checked.
  dart.runUntil([] { return false; }, std::chrono::milliseconds(700));
  EXPECT_LE(StreamDecoder::framesMadeInProcess() - atDisposal, 1u);
}

TEST_F(RealMediaTest, WhatCannotBePlayedSendsTheErrorEventAndCallsAreStillAnswered) {
  struct Case {
    std::string uri;
    std::string message;
  };
  for (const Case& each :
       {Case{"file:///nonexistent/clip.mp4",
             "Failed to load video: The requested URL was not found on this server."},
        Case{"file:///dev/zero", "Failed to load video: Cannot Open"},
        Case{"https://example.com/clip.mp4",
             "Failed to load video: The Internet connection appears to be offline."}}) {
    int64_t id = createPlatformPlayer(each.uri);
    ASSERT_TRUE(dart.listen(events(id)).isSuccess());
    auto failure = awaitEvent(id, "");
    ASSERT_TRUE(failure.has_value()) << each.uri;
    EXPECT_EQ(failure->error().code, "VideoError");
    ASSERT_TRUE(failure->error().message.has_value());
    EXPECT_EQ(failure->error().message->rfind(each.message, 0), 0u)
        << each.uri << ": " << *failure->error().message;
    auto tracks = call(id, "getVideoTracks");
    ASSERT_EQ(tracks.size(), 1u) << each.uri;
    call(id, "dispose");
  }
}

}  // namespace
}  // namespace movie_player_avfoundation::testing
