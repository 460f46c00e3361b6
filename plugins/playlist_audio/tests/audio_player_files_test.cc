// The audio player over real files, as in the running host: a file with nothing to hear ends
// rather than holding "play", and a long playlist opens its files as they are needed, never all at
// once on as many threads.
#include <algorithm>
#include <filesystem>

#include "platform/avfoundation/testing/media_backing_controls.h"
#include "platform/avfoundation/tests/media_recipes.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/dispatch/testing/process_threads.h"
#include "plugins/playlist_audio/tests/audio_player_fixture.h"

namespace playlist_audio::testing {
namespace {

using dispatch::testing::threadCount;

constexpr int32_t kCompleted = 4;

int openDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}


Value fileSource(const std::string& id, const std::string& path) {
  return ValueMap{{"type", "progressive"}, {"id", id}, {"uri", "file://" + path}};
}

class AudioPlayerFilesTest : public AudioPlayerTest {
 protected:
  void SetUp() override {
    av::useMediaLibrary();
    AudioPlayerTest::SetUp();
  }
  void TearDown() override {
    ASSERT_TRUE(main("disposePlayer", ValueMap{{"id", "p"}}).isSuccess());
    dispatch::testing::drainUntilIdle();
    av::useMediaModel();
    AudioPlayerTest::TearDown();
  }
};

TEST_F(AudioPlayerFilesTest, AFileOfUnknownLengthWithNothingToHearCompletes) {
  auto raw = av::madeMedia("pictures_only.h264",
                           {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-frames:v", "25",
                            "-c:v", "libx264", "-pix_fmt", "yuv420p", "-f", "h264"});
  ASSERT_TRUE(loadAsync(fileSource("raw", raw)).wait().isSuccess());
  auto play = callAsync("play");
  EXPECT_EQ(play.wait(std::chrono::seconds(10)).value, kEmpty);
  EXPECT_EQ(last("processingState"), Value(kCompleted));
}

TEST_F(AudioPlayerFilesTest, ALongPlaylistOpensItsFilesWithoutAThreadEach) {
  auto song = av::madeMedia("short_song.mp3", {"-f", "lavfi", "-i", "sine=duration=0.5"});
  for (bool lazy : {true, false}) {
    ValueList children;
    for (int i = 0; i < 300; ++i) children.push_back(fileSource("s" + std::to_string(i), song));
    int before = threadCount();
    int most = before;
    auto load = loadAsync(concat("root", children, range(300), lazy));
    dart.runUntil([&] {
      most = std::max(most, threadCount());
      return load.ready();
    });
    ASSERT_TRUE(load.wait().isSuccess());
    dispatch::testing::drainUntilIdle();
    EXPECT_LE(most - before, 8) << (lazy ? "lazy" : "prepared");
  }
}

TEST_F(AudioPlayerFilesTest, ItemsThatPlayedHoldNoFileNorDecoder) {
  auto song = av::madeMedia("tenth_song.mp3", {"-f", "lavfi", "-i", "sine=duration=0.1"});
  constexpr int kItems = 150;
  ValueList children;
  for (int i = 0; i < kItems; ++i) children.push_back(fileSource("s" + std::to_string(i), song));
  int before = openDescriptors();
  ASSERT_TRUE(loadAsync(concat("root", children, range(kItems), true)).wait().isSuccess());
  ASSERT_TRUE(call("setSpeed", ValueMap{{"speed", 32.0}}).isSuccess());
  auto play = callAsync("play");
  int most = before;
  dart.runUntil([&] {
    most = std::max(most, openDescriptors());
    return play.ready();
  }, std::chrono::seconds(30));
  EXPECT_EQ(play.wait().value, kEmpty);
  EXPECT_EQ(last("processingState"), Value(kCompleted));
  EXPECT_EQ(last("currentIndex"), Value(kItems - 1));
  EXPECT_LE(most - before, 8);
}

TEST_F(AudioPlayerFilesTest, AClipPlaysFromItsStartToItsEndThenCompletes) {
  auto song = av::madeMedia("twenty_seconds.mp3", {"-f", "lavfi", "-i", "sine=duration=20"});
  struct Case {
    int64_t start, end;  // microseconds
    int64_t duration;    // as the load answers it
    int64_t played;      // the position at the end
  };
  for (const Case& each : {Case{2000000, 3000000, 1000000, 1000000},
                           // An end past the child's plays to the child's end, and the clip
                           // lasts what can be played.
                           Case{19000000, 30000000, 1000000, 1000000},
                           // A start past the child's end, and an end at or before the start,
                           // leave nothing to play: length 0, ended at once.
                           Case{25000000, 30000000, 0, 0}, Case{3000000, 2000000, 0, 0},
                           Case{3000000, 3000000, 0, 0},
                           // A negative start is the child's start.
                           Case{-1000000, 1000000, 1000000, 1000000}}) {
    SCOPED_TRACE(each.start);
    auto load = loadAsync(clip("c", fileSource("song", song), each.start, each.end));
    auto loaded = load.wait();
    ASSERT_TRUE(loaded.isSuccess());
    // An mp3 holds a little more than it was made of.
    int64_t duration = loaded.value.find("duration")->asInteger().value_or(-1);
    if (each.duration == 0) {
      EXPECT_EQ(duration, 0);
    } else {
      EXPECT_NEAR(static_cast<double>(duration), each.duration, 50000);
    }
    auto play = callAsync("play");
    EXPECT_EQ(play.wait(std::chrono::seconds(10)).value, kEmpty);
    EXPECT_EQ(last("processingState"), Value(kCompleted));
    // An mp3 holds a little more than it was made of.
    EXPECT_NEAR(static_cast<double>(last("updatePosition").asInteger().value_or(-1)), each.played,
                50000);
    ASSERT_TRUE(call("pause").isSuccess());
  }
}

TEST_F(AudioPlayerFilesTest, AFileURINamingAnotherHostIsNotALocalFile) {
  auto song = av::madeMedia("short_song.mp3", {"-f", "lavfi", "-i", "sine=duration=0.5"});
  ASSERT_TRUE(loadAsync(ValueMap{{"type", "progressive"}, {"id", "here"},
                                 {"uri", "file://localhost" + song}})
                  .wait()
                  .isSuccess());
  // Another machine's file fails as a remote resource does without a network.
  for (const std::string& uri : {"file://127.0.0.1/" + song, "file://example.com" + song}) {
    auto answer =
        loadAsync(ValueMap{{"type", "progressive"}, {"id", "there"}, {"uri", uri}}).wait();
    EXPECT_FALSE(answer.isSuccess()) << uri;
    EXPECT_EQ(answer.error.code, "-1009") << uri << ": " << answer.describe();
  }
}

TEST_F(AudioPlayerFilesTest, ALoadSupersededWhilePlayingIsAnsweredAsAborted) {
  auto song = av::madeMedia("short_song.mp3", {"-f", "lavfi", "-i", "sine=duration=0.5"});
  ASSERT_TRUE(loadAsync(fileSource("first", song)).wait().isSuccess());
  auto play = callAsync("play");
  for (int i = 0; i < 5; ++i) {
    // Playing, the load moves the state on to buffering before its file is probed.
    auto superseded = loadAsync(fileSource("again" + std::to_string(i), song));
    auto next = loadAsync(fileSource("next" + std::to_string(i), song));
    auto answer = superseded.wait();
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(answer.error.code, "10000000") << answer.describe();
    ASSERT_TRUE(next.wait().isSuccess());
  }
  ASSERT_TRUE(call("pause").isSuccess());
  play.wait();
}

TEST_F(AudioPlayerFilesTest, SeeksToAMissingFileAreAnswered) {
  auto song = av::madeMedia("short_song.mp3", {"-f", "lavfi", "-i", "sine=duration=0.5"});
  ValueList children = {fileSource("song", song), fileSource("missing", "/nonexistent/a.mp3")};
  for (Value position : {Value(int64_t{5000000}), Value()}) {
    ASSERT_TRUE(loadAsync(concat("root", children, range(2), /*lazy=*/true)).wait().isSuccess());
    auto play = callAsync("play");
    auto seeking = seekAsync(position, 1);
    EXPECT_EQ(seeking.wait(std::chrono::seconds(10)).value, kEmpty);
    auto played = play.wait(std::chrono::seconds(10));
    ASSERT_TRUE(played.isError()) << played.describe();
    EXPECT_EQ(played.error.code, "-1100");
    ASSERT_TRUE(call("pause").isSuccess());
  }
}

}  // namespace
}  // namespace playlist_audio::testing
