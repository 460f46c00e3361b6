// Calls that wait on an item (a seek, a pending "play" or "load") are answered once when that item
// fails, is taken out of play or is replaced: none is left waiting for a readiness that never
// comes.
#include "plugins/playlist_audio/tests/audio_player_fixture.h"

namespace playlist_audio::testing {
namespace {

constexpr int32_t kIdle = 0;

class AudioPlayerFailuresTest : public AudioPlayerTest {
 protected:
  // Loads a lazy playlist of three and makes only its first item ready: the second is queued
  // and still loading.
  void loadFirstReady() {
    auto pending = loadAsync(playlist(3, /*lazy=*/true));
    av::makeItemReady(*current(), seconds(60));
    ASSERT_TRUE(pending.wait().isSuccess());
    ASSERT_EQ(engine()->items().size(), 2u);
  }
};

TEST_F(AudioPlayerFailuresTest, SeeksAndPlayWaitingOnAnItemThatFailsAreAnswered) {
  for (Value position : {Value(int64_t{5000000}), Value()}) {
    loadFirstReady();
    auto play = callAsync("play");
    // Far from where leaf 1 stands, and leaf 1 not ready yet: the seek waits for the item.
    auto seeking = seekAsync(position, 1);
    dart.drain();
    ASSERT_EQ(name(current()), "s1.mp3");
    ASSERT_FALSE(seeking.ready());
    av::failItem(*current(), NSError{"AVFoundationErrorDomain", -11828, "Cannot Open"});
    dart.drain();
    ASSERT_TRUE(seeking.ready()) << (position.isNull() ? "to the end" : "to 5 s");
    EXPECT_EQ(seeking.wait().value, kEmpty);
    ASSERT_TRUE(play.ready());
    auto played = play.wait();
    ASSERT_TRUE(played.isError());
    EXPECT_EQ(played.error.code, "-11828");
    EXPECT_EQ(played.error.message, "Cannot Open");
    EXPECT_EQ(last("processingState"), Value(kIdle));
    // A later play and seek are answered at once, as for any idle player.
    EXPECT_TRUE(call("play").isSuccess());
    EXPECT_EQ(seek(int64_t{5000000}, 1).value, kEmpty);
    ASSERT_TRUE(call("pause").isSuccess());
  }
}

TEST_F(AudioPlayerFailuresTest, ASeekToAnItemThatAlreadyFailedIsAnswered) {
  loadFirstReady();
  auto failed = engine()->items()[1];
  av::failItem(*failed, NSError{"NSURLErrorDomain", -1100, "Not found"});
  auto seeking = seekAsync(int64_t{5000000}, 1);
  dart.drain();
  ASSERT_TRUE(seeking.ready());
  EXPECT_EQ(seeking.wait().value, kEmpty);
  EXPECT_EQ(last("errorCode"), Value(int32_t{-1100}));
  EXPECT_EQ(last("processingState"), Value(kIdle));
  // The failure empties the queue for good: the rest of the queue build does not refill it.
  EXPECT_TRUE(engine()->items().empty());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{1}));
}

TEST_F(AudioPlayerFailuresTest, ASeekWaitingOnALeafIsAnsweredWhenPlayMovesOff) {
  loadFirstReady();
  auto waiting = seekAsync(int64_t{5000000}, 1);
  dart.drain();
  ASSERT_FALSE(waiting.ready());
  // Back to leaf 0, which is ready: leaf 1 leaves the queue and will not become ready for it.
  EXPECT_TRUE(seek(int64_t{5000000}, 0).isSuccess());
  dart.drain();
  ASSERT_TRUE(waiting.ready());
  EXPECT_EQ(waiting.wait().value, kEmpty);
  EXPECT_EQ(last("currentIndex"), Value(int32_t{0}));
}

TEST_F(AudioPlayerFailuresTest, AReloadThatKeepsTheLeafItemAnswersItsWaitingSeek) {
  auto load = loadAsync(uri("a"));
  // Playing moves the pending load on to buffering, so the seek is taken and waits for the item.
  auto play = callAsync("play");
  auto waiting = seekAsync(int64_t{20000000});
  dart.drain();
  ASSERT_FALSE(waiting.ready());
  auto item = current();
  auto reload = loadAsync(clip("c", uri("a"), int64_t{1000000}, nullptr));
  dart.drain();
  ASSERT_EQ(current(), item);
  ASSERT_TRUE(waiting.ready());
  EXPECT_EQ(waiting.wait().value, kEmpty);
  EXPECT_EQ(load.wait().error.code, "10000000");
  av::makeItemReady(*item, seconds(60));
  ASSERT_TRUE(reload.wait().isSuccess());
  dart.drain();
  // The old seek did not move the new clip: it stands at its start.
  EXPECT_EQ(item->currentTime(), seconds(1));
  ASSERT_TRUE(call("pause").isSuccess());
  EXPECT_TRUE(play.wait().isSuccess());
}

TEST_F(AudioPlayerFailuresTest, ALoadOvertakenByASeekToAFailingItemIsNotAnsweredWithItsFailure) {
  auto load = loadAsync(playlist(3, /*lazy=*/true));
  auto play = callAsync("play");
  auto seeking = seekAsync(int64_t{5000000}, 1);
  dart.drain();
  ASSERT_EQ(name(current()), "s1.mp3");
  ASSERT_FALSE(load.ready());
  av::failItem(*current(), NSError{"AVFoundationErrorDomain", -11828, "Cannot Open"});
  dart.drain();
  ASSERT_TRUE(load.ready());
  auto loaded = load.wait();
  ASSERT_TRUE(loaded.isError());
  // The load's own item never failed: it was cut short by the seek.
  EXPECT_EQ(loaded.error.code, "10000000");
  EXPECT_TRUE(seeking.wait().isSuccess());
  EXPECT_EQ(play.wait().error.code, "-11828");

  // Its own item failing still answers it with that failure.
  load = loadAsync(playlist(3, /*lazy=*/true));
  av::failItem(*current(), NSError{"NSURLErrorDomain", -1100, "Not found"});
  EXPECT_EQ(load.wait().error.code, "-1100");
}

}  // namespace
}  // namespace playlist_audio::testing
