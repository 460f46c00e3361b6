// The audio player driven through its channels, with the AVFoundation stand-in playing the media.
#include <set>

#include "plugins/playlist_audio/tests/audio_player_fixture.h"

namespace playlist_audio::testing {
namespace {

using PlaylistAudioTest = AudioPlayerTest;

TEST_F(PlaylistAudioTest, RegistryRefusesDuplicatesAndDisposes) {
  auto again = main("init", ValueMap{{"id", "p"}});
  ASSERT_TRUE(again.isError());
  EXPECT_EQ(again.error.message, "Platform player already exists");
  EXPECT_EQ(main("disposePlayer", ValueMap{{"id", "p"}}).value, kEmpty);
  EXPECT_EQ(main("disposePlayer", ValueMap{{"id", "p"}}).value, kEmpty);
  EXPECT_TRUE(main("init", ValueMap{{"id", "p"}}).isSuccess());
  EXPECT_EQ(main("disposeAllPlayers").value, kEmpty);
  EXPECT_EQ(main("disposeAllPlayers").value, kEmpty);
  EXPECT_TRUE(main("nope").isNotImplemented());
}

TEST_F(PlaylistAudioTest, InitAndDisposeNeedAStringIdAndMapConfigurations) {
  auto expectGenericError = [](const MethodReply& reply) {
    EXPECT_EQ(reply.error.code, "error");
    EXPECT_EQ(reply.error.message, "Error in handleMethodCall");
  };
  expectGenericError(main("init", ValueMap{}));
  expectGenericError(main("init", ValueMap{{"id", 7}}));
  expectGenericError(main("init", ValueMap{{"id", nullptr}}));
  expectGenericError(main("init", Value()));
  expectGenericError(main("disposePlayer", ValueMap{}));
  expectGenericError(main("disposePlayer", ValueMap{{"id", 7}}));
  for (const Value& configuration :
       {Value("fast"), Value(ValueList{}), Value(ValueMap{{"darwinLoadControl", 1}}),
        Value(
            ValueMap{{"darwinLoadControl", ValueMap{{"preferredForwardBufferDuration", "long"}}}}),
        Value(ValueMap{{"darwinLoadControl", ValueMap{{"preferredPeakBitRate", "high"}}}})}) {
    expectGenericError(
        main("init", ValueMap{{"id", "q"}, {"audioLoadConfiguration", configuration}}));
  }
  // None of them made a player.
  EXPECT_TRUE(
      dart.invokeMethod("com.quillmark.playlist_audio.methods.", "play").isNotImplemented());
  EXPECT_TRUE(
      dart.invokeMethod("com.quillmark.playlist_audio.methods.q", "play").isNotImplemented());
  EXPECT_TRUE(main("init", ValueMap{{"id", "q"}}).isSuccess());
  EXPECT_TRUE(main("init", ValueMap{{"id", ""}}).isSuccess());
  EXPECT_EQ(main("disposePlayer", ValueMap{{"id", ""}}).value, kEmpty);
  // The player "p" of the fixture is still there.
  EXPECT_EQ(call("pause").value, kEmpty);
}

TEST_F(PlaylistAudioTest, DisposingAnUnloadedPlayerEndsItsChannels) {
  EXPECT_TRUE(main("disposePlayer", ValueMap{{"id", "p"}}).isSuccess());
  ASSERT_FALSE(dart.events(kEvents).empty());
  EXPECT_TRUE(dart.events(kEvents).back().isEnd());
  EXPECT_TRUE(call("play").isNotImplemented());
}

TEST_F(PlaylistAudioTest, LoadsAnswerAtOnceForNothingToPlayAndRefuseBadTrees) {
  EXPECT_EQ(loadAsync(concat("c", {}, {})).wait().value, Value(ValueMap{{"duration", int64_t{0}}}));
  EXPECT_EQ(loadAsync(ValueMap{{"type", "mystery"}}).wait().value,
            Value(ValueMap{{"duration", int64_t{0}}}));
  auto unknownChild = loadAsync(concat("c", {ValueMap{{"type", "mystery"}}}, {0})).wait();
  ASSERT_TRUE(unknownChild.isError());
  EXPECT_EQ(unknownChild.error.code, "error");
  EXPECT_TRUE(loadAsync(concat("c", {uri("a")}, {1})).wait().isError());
  EXPECT_TRUE(call("setVolume", ValueMap{{"volume", "loud"}}).isError());
}

TEST_F(PlaylistAudioTest, LoadWaitsForTheItemAndSeeksToTheInitialPosition) {
  auto pending = loadAsync(uri("a"), ValueMap{{"initialPosition", int64_t{5000000}}});
  dart.drain();
  EXPECT_FALSE(pending.ready());
  auto item = engine()->currentItem();
  av::makeItemReady(*item, CMTimeMake(60, 1));
  EXPECT_EQ(pending.wait().value, Value(ValueMap{{"duration", int64_t{60000000}}}));
  dart.drain();
  EXPECT_EQ(CMTimeGetSeconds(item->currentTime()), 5.0);
  // Ready but with nothing buffered yet: buffering until data arrives.
  EXPECT_EQ(*lastEvent().find("processingState"), Value(int32_t{2}));
  av::setPlaybackBufferEmpty(*item, false);
  EXPECT_EQ(*lastEvent().find("processingState"), Value(int32_t{3}));
}

TEST_F(PlaylistAudioTest, SupersededAndDisposedLoadsAreAnswered) {
  auto first = loadAsync(uri("a"));
  auto second = loadAsync(uri("b"));
  auto answer = first.wait();
  ASSERT_TRUE(answer.isError());
  EXPECT_EQ(answer.error.code, "10000000");
  EXPECT_EQ(answer.error.message, "Connection aborted");
  main("disposePlayer", ValueMap{{"id", "p"}});
  EXPECT_EQ(second.wait().error.code, "10000000");
}

TEST_F(PlaylistAudioTest, LazyQueueHoldsTwoItemsAndTopsUpAtItemEnd) {
  loadReady(playlist(3, true));
  EXPECT_EQ(queue(), (std::vector<std::string>{"s0.mp3", "s1.mp3"}));
  av::finishCurrentItem(*engine());
  EXPECT_EQ(queue(), (std::vector<std::string>{"s1.mp3", "s2.mp3"}));
  EXPECT_EQ(*lastEvent().find("currentIndex"), Value(int32_t{1}));
}

TEST_F(PlaylistAudioTest, LoopModesShapeTheQueue) {
  loadReady(playlist(3));
  EXPECT_EQ(queue(), (std::vector<std::string>{"s0.mp3", "s1.mp3", "s2.mp3"}));
  call("setLoopMode", ValueMap{{"loopMode", 2}});
  EXPECT_EQ(queue(), (std::vector<std::string>{"s0.mp3", "s1.mp3", "s2.mp3", "s0.mp3"}));
  EXPECT_NE(engine()->items()[0], engine()->items()[3]);
  call("setLoopMode", ValueMap{{"loopMode", 1}});
  EXPECT_EQ(queue(), (std::vector<std::string>{"s0.mp3", "s0.mp3"}));
  auto first = engine()->items()[0];
  av::finishCurrentItem(*engine());
  EXPECT_EQ(queue(), (std::vector<std::string>{"s0.mp3", "s0.mp3"}));
  EXPECT_EQ(engine()->items()[1], first);
}

TEST_F(PlaylistAudioTest, PlayIsAnsweredWhenTheLastLeafCompletes) {
  loadReady(playlist(2));
  auto play = callAsync("play");
  EXPECT_TRUE(call("play").isSuccess());
  av::finishCurrentItem(*engine());
  dart.drain();
  EXPECT_FALSE(play.ready());
  EXPECT_EQ(queue(), (Names{"s1.mp3"}));
  EXPECT_EQ(engine()->actionAtItemEnd(), AVPlayerActionAtItemEndPause);
  av::finishCurrentItem(*engine());
  EXPECT_EQ(play.wait().value, kEmpty);
  EXPECT_EQ(*lastEvent().find("processingState"), Value(int32_t{4}));
}

TEST_F(PlaylistAudioTest, ShuffleOrderComposesTheTreeAndRefusesNonPermutations) {
  Value tree =
      concat("root", {uri("A"), concat("B", {uri("B1"), uri("B2")}, {1, 0}), uri("C")}, {2, 0, 1});
  loadReady(tree, ValueMap{{"initialIndex", 3}});
  call("setShuffleMode", ValueMap{{"shuffleMode", 1}});
  EXPECT_EQ(queue(), (std::vector<std::string>{"C.mp3", "A.mp3", "B2.mp3", "B1.mp3"}));
  Value bad =
      concat("root", {uri("A"), concat("B", {uri("B1"), uri("B2")}, {0, 0}), uri("C")}, {0, 1, 2});
  EXPECT_TRUE(call("setShuffleOrder", ValueMap{{"audioSource", bad}}).isError());
  EXPECT_EQ(queue(), (std::vector<std::string>{"C.mp3", "A.mp3", "B2.mp3", "B1.mp3"}));
  // Refused as a whole: the root's valid order was not taken either, as a re-plan shows.
  call("setShuffleMode", ValueMap{{"shuffleMode", 1}});
  EXPECT_EQ(queue(), (std::vector<std::string>{"C.mp3", "A.mp3", "B2.mp3", "B1.mp3"}));
  call("setShuffleMode", ValueMap{{"shuffleMode", 2}});
  EXPECT_EQ(queue(), (std::vector<std::string>{"C.mp3"}));
}

TEST_F(PlaylistAudioTest, LoopingCopiesShuffleInsideEachCopy) {
  Value looped = ValueMap{{"type", "looping"},
                          {"id", "l"},
                          {"count", 3},
                          {"child", concat("c", {uri("x"), uri("y")}, {1, 0})}};
  loadReady(looped);
  auto leaves = engine()->items();
  ASSERT_EQ(leaves.size(), 6u);
  EXPECT_EQ(std::set(leaves.begin(), leaves.end()).size(), 6u);
  call("setShuffleMode", ValueMap{{"shuffleMode", 1}});
  ASSERT_TRUE(seek(0, 1).isSuccess());
  // Every copy plays its two leaves in its own order [1, 0]; the copies keep their turns.
  EXPECT_EQ(engine()->items(),
            (std::vector{leaves[1], leaves[0], leaves[3], leaves[2], leaves[5], leaves[4]}));
}

TEST_F(PlaylistAudioTest, EverySeekIsAnsweredOnce) {
  loadReady(playlist(2));
  av::setSeeksHeld(true);
  auto first = seekAsync(int64_t{10000000});
  dart.drain();
  EXPECT_EQ(*lastEvent().find("processingState"), Value(int32_t{2}));
  EXPECT_EQ(*lastEvent().find("updatePosition"), Value(int64_t{10000000}));
  auto second = seekAsync(nullptr);
  EXPECT_TRUE(first.wait().isSuccess());
  dart.drain();
  EXPECT_EQ(*lastEvent().find("updatePosition"), Value(int64_t{60000000}));
  EXPECT_TRUE(av::completePendingSeek(*engine()->currentItem()));
  EXPECT_TRUE(second.wait().isSuccess());
  EXPECT_EQ(*lastEvent().find("processingState"), Value(int32_t{2}));
  av::setPlaybackBufferEmpty(*engine()->currentItem(), false);
  EXPECT_EQ(*lastEvent().find("processingState"), Value(int32_t{3}));

  auto outside = seek(0, 7);
  EXPECT_TRUE(outside.isError());
  EXPECT_EQ(queue(), (std::vector<std::string>{"s0.mp3", "s1.mp3"}));
}

TEST_F(PlaylistAudioTest, SeekToAnotherLeafCloseByIsImmediate) {
  loadReady(playlist(3));
  av::setSeeksHeld(true);
  // Within 100 ms of where the leaf stands no seek is made: the call is answered at once.
  auto near = seekAsync(int64_t{100000}, 1);
  EXPECT_TRUE(near.wait().isSuccess());
  EXPECT_FALSE(av::hasPendingSeek(*current()));
  EXPECT_EQ(last("currentIndex"), Value(int32_t{1}));
  // Further away the seek is made, and answered when it lands.
  auto far = seekAsync(int64_t{101000}, 2);
  dart.drain();
  EXPECT_FALSE(far.ready());
  EXPECT_EQ(av::pendingSeekTime(*current()), CMTimeMake(101000, 1000000));
  av::completePendingSeek(*current());
  EXPECT_TRUE(far.wait().isSuccess());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{2}));
}

TEST_F(PlaylistAudioTest, SeekWhileIdleCompletesAtOnce) { EXPECT_EQ(seek(0).value, kEmpty); }

TEST_F(PlaylistAudioTest, FailedCurrentItemSendsErrorThenIdleEvent) {
  auto pending = loadAsync(playlist(2));
  av::failItem(*engine()->currentItem(), NSError{"net", -1100, "Not found"});
  auto answer = pending.wait();
  ASSERT_TRUE(answer.isError());
  EXPECT_EQ(answer.error.code, "-1100");
  const auto& events = dart.events(kEvents);
  ASSERT_GE(events.size(), 2u);
  const auto& error = events[events.size() - 2];
  ASSERT_TRUE(error.isError());
  EXPECT_EQ(error.error().details, Value(ValueMap{{"index", int32_t{0}}}));
  EXPECT_EQ(*lastEvent().find("processingState"), Value(int32_t{0}));
  EXPECT_EQ(*lastEvent().find("errorMessage"), Value("Not found"));
  EXPECT_TRUE(engine()->items().empty());
}

TEST_F(PlaylistAudioTest, ConcatenationEditsFollowTheCurrentLeaf) {
  loadReady(playlist(4), ValueMap{{"initialIndex", 2}});
  ASSERT_TRUE(insertAll(0, {uri("n")}, range(5)).isSuccess());
  EXPECT_EQ(*lastEvent().find("currentIndex"), Value(int32_t{3}));
  EXPECT_TRUE(removeRange(3, 9, range(2)).isError());
  ASSERT_TRUE(removeRange(2, -1, range(2)).isSuccess());
  EXPECT_EQ(*lastEvent().find("currentIndex"), Value(int32_t{1}));
  EXPECT_EQ(queue().front(), "s0.mp3");
  ASSERT_TRUE(move(1, 0, range(2)).isSuccess());
  EXPECT_EQ(*lastEvent().find("currentIndex"), Value(int32_t{0}));
}

TEST_F(PlaylistAudioTest, ReloadingAClipKeepsItsItemsAndObservesThemOnce) {
  Value clip = ValueMap{{"type", "clipping"},
                        {"id", "c"},
                        {"child", uri("a")},
                        {"start", int64_t{10000000}},
                        {"end", nullptr}};
  loadReady(clip);
  call("setLoopMode", ValueMap{{"loopMode", 1}});
  auto item = engine()->currentItem();
  EXPECT_EQ(*lastEvent().find("duration"), Value(int64_t{50000000}));
  loadReady(clip);
  EXPECT_EQ(engine()->currentItem(), item);
  EXPECT_EQ(item->outputs().size(), 1u);
  // The second item plays next: its status still reaches the player.
  av::finishCurrentItem(*engine());
  EXPECT_EQ(queue().size(), 2u);
}

}  // namespace
}  // namespace playlist_audio::testing
