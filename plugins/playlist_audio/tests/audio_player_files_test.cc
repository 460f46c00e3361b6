// The audio player over real files, as in the running host: a file with nothing to hear ends
// rather than holding "play", and a long playlist opens its files as they are needed, never all at
// once on as many threads.
#include <algorithm>

#include "platform/avfoundation/testing/media_backing_controls.h"
#include "platform/avfoundation/tests/media_recipes.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/dispatch/testing/process_threads.h"
#include "plugins/playlist_audio/tests/audio_player_fixture.h"

namespace playlist_audio::testing {
namespace {

using dispatch::testing::threadCount;

constexpr int32_t kCompleted = 4;

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

}  // namespace
}  // namespace playlist_audio::testing
