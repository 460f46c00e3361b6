// The engine's queue: lazy and eager leaves in every loop mode, play orders with shuffling, and
// edits of concatenating sources while a leaf plays.
#include "plugins/playlist_audio/tests/audio_player_fixture.h"

namespace playlist_audio::testing {
namespace {

using AudioPlayerQueueTest = AudioPlayerTest;

TEST_F(AudioPlayerQueueTest, LazyLeavesQueueAtMostOneAheadInEveryLoopMode) {
  loadReady(playlist(3, true), ValueMap{{"initialIndex", 1}});
  EXPECT_EQ(queue(), (Names{"s1.mp3", "s2.mp3"}));
  call("setLoopMode", ValueMap{{"loopMode", 1}});
  EXPECT_EQ(queue(), (Names{"s1.mp3", "s1.mp3"}));
  call("setLoopMode", ValueMap{{"loopMode", 7}});  // any other value is off
  EXPECT_EQ(queue(), (Names{"s1.mp3", "s2.mp3"}));
  call("setLoopMode", ValueMap{{"loopMode", 2}});
  // The walk reached the end of the order: the first leaf's second item follows.
  EXPECT_EQ(queue(), (Names{"s1.mp3", "s2.mp3", "s0.mp3"}));
  auto wrapItem = engine()->items()[2];

  av::finishCurrentItem(*engine());
  EXPECT_EQ(queue(), (Names{"s2.mp3", "s0.mp3"}));
  EXPECT_EQ(last("currentIndex"), Value(int32_t{2}));
  av::finishCurrentItem(*engine());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{0}));
  EXPECT_EQ(current(), wrapItem);
  EXPECT_EQ(queue(), (Names{"s0.mp3", "s1.mp3"}));
}

TEST_F(AudioPlayerQueueTest, LazyLoopAllOverTwoLeavesQueuesTheWrapAtOnce) {
  loadReady(playlist(2, true));
  call("setLoopMode", ValueMap{{"loopMode", 2}});
  EXPECT_EQ(queue(), (Names{"s0.mp3", "s1.mp3", "s0.mp3"}));
  EXPECT_EQ(engine()->actionAtItemEnd(), AVPlayerActionAtItemEndAdvance);
}

TEST_F(AudioPlayerQueueTest, EagerLoopAllWrapsFromTheLastLeaf) {
  loadReady(playlist(3));
  call("setLoopMode", ValueMap{{"loopMode", 2}});
  auto play = callAsync("play");
  for (int i = 0; i < 3; ++i) av::finishCurrentItem(*engine());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{0}));
  EXPECT_EQ(queue(), (Names{"s0.mp3", "s1.mp3", "s2.mp3", "s0.mp3"}));
  dart.drain();
  EXPECT_FALSE(play.ready());
  call("pause");
  EXPECT_TRUE(play.wait().isSuccess());
}

TEST_F(AudioPlayerQueueTest, ShuffledOrderPlaysThroughTheInverseOrder) {
  Value tree = concat("root", {uri("s0"), uri("s1"), uri("s2")}, {2, 0, 1});
  loadReady(tree, ValueMap{{"initialIndex", 0}});
  call("setShuffleMode", ValueMap{{"shuffleMode", 1}});
  // Leaf 0 stands second in the order [2, 0, 1]: leaf 1 follows it, and it is the last.
  EXPECT_EQ(queue(), (Names{"s0.mp3", "s1.mp3"}));
  av::finishCurrentItem(*engine());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{1}));
  EXPECT_EQ(queue(), (Names{"s1.mp3"}));
  EXPECT_EQ(engine()->actionAtItemEnd(), AVPlayerActionAtItemEndPause);
  av::finishCurrentItem(*engine());
  EXPECT_EQ(last("processingState"), Value(int32_t{4}));

  loadReady(tree, ValueMap{{"initialIndex", 1}});
  call("setLoopMode", ValueMap{{"loopMode", 2}});
  // From the last position the order wraps to its first leaf, leaf 2.
  EXPECT_EQ(queue(), (Names{"s1.mp3", "s2.mp3"}));
  av::finishCurrentItem(*engine());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{2}));
  EXPECT_EQ(queue(), (Names{"s2.mp3", "s0.mp3", "s1.mp3", "s2.mp3"}));

  // A new shuffle order for the root re-plans the queue at once.
  Value reordered = concat("root", {uri("s0"), uri("s1"), uri("s2")}, {0, 1, 2});
  EXPECT_EQ(call("setShuffleOrder", ValueMap{{"audioSource", reordered}}).value, kEmpty);
  EXPECT_EQ(queue(), (Names{"s2.mp3", "s0.mp3"}));
  Value tooShort = concat("root", {uri("s0"), uri("s1"), uri("s2")}, {0, 1});
  EXPECT_TRUE(call("setShuffleOrder", ValueMap{{"audioSource", tooShort}}).isError());
  EXPECT_EQ(queue(), (Names{"s2.mp3", "s0.mp3"}));
}

TEST_F(AudioPlayerQueueTest, RemovingARangeThatReachesTheEndKeepsTheLastLeaf) {
  loadReady(playlist(4), ValueMap{{"initialIndex", 2}});
  ASSERT_TRUE(removeRange(1, -1, range(1)).isSuccess());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{0}));
  EXPECT_EQ(queue(), (Names{"s0.mp3"}));
  EXPECT_EQ(engine()->actionAtItemEnd(), AVPlayerActionAtItemEndPause);
}

TEST_F(AudioPlayerQueueTest, InsertingBeforeAndAfterTheCurrentLeaf) {
  loadReady(playlist(2), ValueMap{{"initialIndex", 1}});
  auto playing = current();
  ASSERT_TRUE(insertAll(0, {uri("n0"), uri("n1")}, range(4)).isSuccess());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{3}));
  EXPECT_EQ(current(), playing);
  EXPECT_EQ(queue(), (Names{"s1.mp3"}));
  ASSERT_TRUE(insertAll(-1, {uri("e")}, range(5)).isSuccess());
  EXPECT_EQ(queue(), (Names{"s1.mp3", "e.mp3"}));

  // A shuffle order that does not fit the new children changes nothing.
  EXPECT_TRUE(insertAll(0, {uri("x")}, range(5)).isError());
  EXPECT_TRUE(insertAll(9, {uri("x")}, range(6)).isError());
  EXPECT_EQ(queue(), (Names{"s1.mp3", "e.mp3"}));
  EXPECT_EQ(last("currentIndex"), Value(int32_t{3}));
}

TEST_F(AudioPlayerQueueTest, MovingTheCurrentLeafFollowsItsItem) {
  loadReady(playlist(3));
  ASSERT_TRUE(move(0, 2, range(3)).isSuccess());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{2}));
  EXPECT_EQ(queue(), (Names{"s0.mp3"}));
  EXPECT_TRUE(move(5, 0, range(3)).isError());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{2}));
}

TEST_F(AudioPlayerQueueTest, MovingAfterAnItemErrorEmptiedTheQueueKeepsTheCurrentIndex) {
  auto load = loadAsync(playlist(2));
  av::failItem(*current(), NSError{"net", -1, "Lost"});
  EXPECT_TRUE(load.wait().isError());
  EXPECT_TRUE(engine()->items().empty());
  EXPECT_TRUE(move(0, 1, range(2)).isSuccess());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{0}));
  EXPECT_EQ(queue().front(), "s1.mp3");
}

TEST_F(AudioPlayerQueueTest, EditsReachEveryCopyOfALoopedPlaylist) {
  Value looped = ValueMap{
      {"type", "looping"}, {"id", "l"}, {"count", 2}, {"child", concat("c", {uri("x")}, {0})}};
  loadReady(looped);
  EXPECT_EQ(queue(), (Names{"x.mp3", "x.mp3"}));
  ASSERT_TRUE(insertAll(1, {uri("y")}, range(2), "c").isSuccess());
  EXPECT_EQ(queue(), (Names{"x.mp3", "y.mp3", "x.mp3", "y.mp3"}));
  ASSERT_TRUE(removeRange(0, 1, range(1), "c").isSuccess());
  EXPECT_EQ(queue(), (Names{"y.mp3", "y.mp3"}));
  EXPECT_EQ(last("currentIndex"), Value(int32_t{0}));
}

TEST_F(AudioPlayerQueueTest, LoadWithAnInitialIndexOutsideTheTreeChangesNothing) {
  loadReady(playlist(2));
  auto playing = current();
  EXPECT_EQ(loadAsync(playlist(3), ValueMap{{"initialIndex", 3}}).wait().error.code, "error");
  EXPECT_EQ(loadAsync(playlist(3), ValueMap{{"initialIndex", -1}}).wait().error.code, "error");
  EXPECT_EQ(current(), playing);
  EXPECT_EQ(queue(), (Names{"s0.mp3", "s1.mp3"}));
}

double secondsAt(const std::shared_ptr<AVPlayerItem>& item) {
  return CMTimeGetSeconds(item->currentTime());
}

TEST_F(AudioPlayerQueueTest, LoopedItemsStartAgainFromTheirStart) {
  // Loop one: the item that ended is queued again behind its twin, at its start.
  loadReady(uri("a"));
  call("setLoopMode", ValueMap{{"loopMode", 1}});
  auto first = engine()->items()[0];
  auto second = engine()->items()[1];
  av::makeItemReady(*second, seconds(60));
  av::finishCurrentItem(*engine());
  dart.drain();
  ASSERT_EQ(current(), second);
  ASSERT_EQ(engine()->items().back(), first);
  EXPECT_EQ(secondsAt(first), 0.0);
  av::finishCurrentItem(*engine());
  dart.drain();
  ASSERT_EQ(current(), first);
  EXPECT_EQ(secondsAt(first), 0.0);
  EXPECT_EQ(secondsAt(second), 0.0);

  // A clip starts again at its own start.
  loadReady(clip("c", uri("b"), int64_t{10000000}, int64_t{20000000}));
  call("setLoopMode", ValueMap{{"loopMode", 1}});
  first = engine()->items()[0];
  second = engine()->items()[1];
  av::makeItemReady(*second, seconds(60));
  av::finishCurrentItem(*engine());
  dart.drain();
  ASSERT_EQ(engine()->items().back(), first);
  EXPECT_EQ(secondsAt(first), 10.0);

  // Loop all: after the wrap every leaf that played is queued again from its start.
  call("setLoopMode", ValueMap{{"loopMode", 0}});
  loadReady(playlist(2));
  call("setLoopMode", ValueMap{{"loopMode", 2}});
  auto s0 = engine()->items()[0];
  auto s1 = engine()->items()[1];
  auto wrap = engine()->items()[2];
  av::makeItemReady(*wrap, seconds(60));
  av::finishCurrentItem(*engine());
  av::finishCurrentItem(*engine());
  dart.drain();
  ASSERT_EQ(current(), wrap);
  ASSERT_EQ(engine()->items(), (std::vector<std::shared_ptr<AVPlayerItem>>{wrap, s1, s0}));
  EXPECT_EQ(secondsAt(s1), 0.0);
  EXPECT_EQ(secondsAt(s0), 0.0);
}

TEST_F(AudioPlayerQueueTest, EditsWhileALoadIsPendingAnswerIt) {
  auto load = loadAsync(playlist(2));
  av::makeItemReady(*engine()->items()[1], seconds(60));
  ASSERT_TRUE(removeRange(0, 1, range(1)).isSuccess());
  EXPECT_EQ(load.wait().value, Value(ValueMap{{"duration", int64_t{60000000}}}));
  EXPECT_NE(last("processingState"), Value(int32_t{1}));

  // Removing every leaf leaves nothing to wait for.
  load = loadAsync(playlist(1));
  ASSERT_TRUE(removeRange(0, 1, range(0)).isSuccess());
  EXPECT_EQ(load.wait().value, Value(ValueMap{{"duration", int64_t{0}}}));
  EXPECT_EQ(last("processingState"), Value(int32_t{3}));
}

TEST_F(AudioPlayerQueueTest, EditsThatChangeNothingTouchNothing) {
  auto load = loadAsync(playlist(2));
  av::failItem(*current(), NSError{"net", -1, "Lost"});
  EXPECT_TRUE(load.wait().isError());
  ASSERT_TRUE(engine()->items().empty());
  size_t events = eventCount();
  EXPECT_EQ(removeRange(0, 1, range(1), "nope").value, kEmpty);
  EXPECT_EQ(insertAll(0, {uri("x")}, range(1), "nope").value, kEmpty);
  EXPECT_EQ(move(0, 1, range(2), "nope").value, kEmpty);
  dart.drain();
  EXPECT_TRUE(engine()->items().empty());
  EXPECT_EQ(eventCount(), events);
  EXPECT_EQ(last("processingState"), Value(int32_t{0}));

  // Moves among playlists without leaves keep the index in range.
  loadReady(concat("root", {concat("a", {}, {}), concat("b", {}, {})}, {0, 1}));
  ASSERT_TRUE(move(0, 1, range(2)).isSuccess());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{0}));
}

TEST_F(AudioPlayerQueueTest, RegistryServesManyPlayersAndDisposesThemAll) {
  const std::string otherEvents = "com.quillmark.playlist_audio.events.q";
  ASSERT_TRUE(main("init", ValueMap{{"id", "q"}}).isSuccess());
  ASSERT_TRUE(dart.listen(otherEvents).isSuccess());
  loadReady(uri("a"));
  auto play = callAsync("play");
  dart.drain();
  EXPECT_EQ(main("disposeAllPlayers").value, kEmpty);
  EXPECT_EQ(play.wait().value, kEmpty);
  EXPECT_TRUE(dart.events(kEvents).back().isEnd());
  EXPECT_TRUE(dart.events(otherEvents).back().isEnd());
  EXPECT_TRUE(call("load", ValueMap{{"audioSource", uri("a")}}).isNotImplemented());

  // The id is free again, and the new player works.
  ASSERT_TRUE(main("init", ValueMap{{"id", "p"}, {"audioLoadConfiguration", nullptr}}).isSuccess());
  ASSERT_TRUE(dart.listen(kEvents).isSuccess());
  loadReady(uri("b"));
  EXPECT_EQ(name(current()), "b.mp3");
}

}  // namespace
}  // namespace playlist_audio::testing
