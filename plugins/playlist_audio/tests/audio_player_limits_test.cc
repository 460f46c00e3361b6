// Hostile indices and trees: every index is judged as the value the Dart side sent, and no call
// builds a tree past the player's limits. A refused call changes nothing.
#include <cstdint>

#include "plugins/playlist_audio/audio_source_decoder.h"
#include "plugins/playlist_audio/concatenating_audio_source.h"
#include "plugins/playlist_audio/tests/audio_player_fixture.h"
#include "plugins/playlist_audio/uri_audio_source.h"

namespace playlist_audio::testing {
namespace {

using AudioPlayerLimitsTest = AudioPlayerTest;

constexpr int64_t k2To31 = int64_t{1} << 31;
constexpr int64_t k2To32 = int64_t{1} << 32;

Value looping(const std::string& id, int64_t count, Value child) {
  return ValueMap{{"type", "looping"}, {"id", id}, {"count", count}, {"child", std::move(child)}};
}

TEST_F(AudioPlayerLimitsTest, IndicesTooLargeForAnIntAreRefusedWithAndWithoutShuffle) {
  loadReady(playlist(3), ValueMap{{"initialIndex", 1}});
  for (int shuffle : {1, 0}) {
    SCOPED_TRACE(shuffle);
    call("setShuffleMode", ValueMap{{"shuffleMode", shuffle}});
    auto before = queue();
    for (int64_t start : {k2To32, k2To31, k2To32 + 1, -k2To32}) {
      SCOPED_TRACE(start);
      EXPECT_TRUE(removeRange(start, -1, range(3)).isError());
      EXPECT_TRUE(removeRange(start, k2To32, range(3)).isError());
    }
    EXPECT_TRUE(removeRange(0, k2To32 + 1, range(2)).isError());
    // Past the children even though the range it names would be empty.
    EXPECT_TRUE(removeRange(4, 2, range(3)).isError());
    for (auto [from, to] : {std::pair{k2To32, int64_t{0}}, std::pair{int64_t{0}, k2To32},
                            std::pair{-k2To32, int64_t{0}}, std::pair{int64_t{0}, k2To31}}) {
      EXPECT_TRUE(move(from, to, range(3)).isError());
    }
    for (int64_t index : {k2To32, k2To31}) {
      EXPECT_TRUE(insertAll(index, {uri("x")}, range(4)).isError());
      EXPECT_TRUE(seek(0, index).isError());
    }
    EXPECT_EQ(queue(), before);
    EXPECT_EQ(last("currentIndex"), Value(int32_t{1}));
  }
  EXPECT_TRUE(loadAsync(playlist(3), ValueMap{{"initialIndex", k2To32}}).wait().isError());
  EXPECT_EQ(last("currentIndex"), Value(int32_t{1}));
  EXPECT_EQ(queue().size(), 2u);
}

TEST(ConcatenatingAudioSourceTest, ShuffleIndicesAndEditsStayInsideTheChildren) {
  auto control = std::make_shared<LoadControl>();
  auto leaf = [&](const std::string& id) {
    return UriAudioSource::create(id, "https://example.com/" + id, control, std::nullopt, nullptr);
  };
  ConcatenatingAudioSource node("c", {leaf("a"), leaf("b")}, {1, 7}, false);
  // An entry naming no child contributes nothing.
  EXPECT_EQ(node.getShuffleIndices(), (std::vector<int>{1}));
  node.setShuffleOrder({-1, 0});
  EXPECT_EQ(node.getShuffleIndices(), (std::vector<int>{0}));

  EXPECT_THROW(node.insertSource(leaf("x"), 3), std::exception);
  EXPECT_THROW(node.insertSource(leaf("x"), -2), std::exception);
  EXPECT_THROW(node.removeSourcesFromIndex(3, -1), std::exception);
  EXPECT_THROW(node.removeSourcesFromIndex(-1, 1), std::exception);
  EXPECT_THROW(node.removeSourcesFromIndex(0, 3), std::exception);
  EXPECT_THROW(node.moveSourceFromIndex(2, 0), std::exception);
  EXPECT_THROW(node.moveSourceFromIndex(0, 2), std::exception);
  EXPECT_EQ(node.count(), 2);
  node.removeSourcesFromIndex(2, 1);  // an empty range at the end removes nothing
  EXPECT_EQ(node.count(), 2);
}

TEST_F(AudioPlayerLimitsTest, LoadsPastTheTreeLimitsAreRefusedBeforeAnythingIsBuilt) {
  loadReady(uri("keep"));
  size_t items = av::playerItems().size();
  auto state = last("processingState");
  Value nestedLoops = looping("outer", 1000, looping("inner", 100, uri("x")));
  Value hugeLoops = looping("outer", kMaxLoopCount, looping("inner", kMaxLoopCount, uri("x")));
  // No leaves at all, but a hundred million empty playlists.
  ValueList empties(1000, concat("e", {}, {}));
  Value emptyLoops = looping("outer", kMaxLoopCount, concat("c", empties, range(1000)));
  Value deep = uri("bottom");
  for (int level = 0; level < kMaxSourceDepth; ++level) {
    deep = concat("d" + std::to_string(level), {deep}, {0});
  }
  for (const Value& tree : {nestedLoops, hugeLoops, emptyLoops, deep}) {
    auto answer = loadAsync(tree).wait();
    ASSERT_TRUE(answer.isError());
    EXPECT_EQ(answer.error.code, "error");
    EXPECT_EQ(answer.error.message, "Error in handleMethodCall");
    EXPECT_EQ(av::playerItems().size(), items);
  }
  EXPECT_EQ(queue(), (Names{"keep.mp3"}));
  EXPECT_EQ(last("processingState"), state);
}

TEST_F(AudioPlayerLimitsTest, InsertsCannotGrowATreePastItsLimits) {
  loadReady(looping("l", 2, concat("c", {uri("x")}, {0})));
  size_t items = av::playerItems().size();
  auto insert = [this](Value child) { return insertAll(-1, {std::move(child)}, range(2), "c"); };
  // Each copy of "c" would gain half the leaf limit: together past it.
  EXPECT_TRUE(insert(looping("more", kMaxLeaves / 2, uri("y"))).isError());
  Value deep = uri("bottom");
  for (int level = 0; level + 2 < kMaxSourceDepth; ++level) deep = concat("d", {deep}, {0});
  EXPECT_TRUE(insert(deep).isError());
  EXPECT_EQ(av::playerItems().size(), items);
  EXPECT_EQ(queue(), (Names{"x.mp3", "x.mp3"}));
  EXPECT_TRUE(insert(uri("y")).isSuccess());
  EXPECT_EQ(queue(), (Names{"x.mp3", "y.mp3", "x.mp3", "y.mp3"}));
}

}  // namespace
}  // namespace playlist_audio::testing
