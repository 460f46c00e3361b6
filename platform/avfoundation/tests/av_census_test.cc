// The census of live players and items: the test controls reach what the code made, and a
// leaked object stays visible to the leak checker.
#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/avfoundation/avfoundation.h"
#include "platform/avfoundation/testing/av_foundation_controls.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define HOST_HAS_LEAK_CHECKER 1
#endif

namespace {

namespace av = avfoundation::testing;

std::shared_ptr<AVURLAsset> makeAsset() {
  return AVURLAsset::URLAssetWithURL(*NSURL::URLWithString("https://example.com/v.mp4"), {});
}

TEST(AVCensus, ListsWhatIsAliveAndForgetsWhatIsGone) {
  size_t before = av::playerItems().size();
  auto item = AVPlayerItem::playerItemWithAsset(makeAsset());
  auto player = AVPlayer::playerWithPlayerItem(item);
  EXPECT_EQ(av::playerItems().size(), before + 1);
  EXPECT_EQ(av::players().back(), player);
  player.reset();
  item.reset();
  EXPECT_EQ(av::playerItems().size(), before);
}

#ifdef HOST_HAS_LEAK_CHECKER
// An item and its asset held only by each other, through a load that never finishes: the shape
// of a player's leak. Not inlined, so that no stale copy of a pointer stays on the test's stack.
[[gnu::noinline]] void leakAnItemInACycle(bool leak) {
  auto asset = makeAsset();
  auto item = AVPlayerItem::playerItemWithAsset(asset);
  asset->loadValuesAsynchronouslyForKeys({"tracks"}, [item] {});
  if (!leak) asset->cancelLoading();
}

[[gnu::noinline]] int leaksAfter(bool leak) {
  leakAnItemInACycle(leak);
  return __lsan_do_recoverable_leak_check();
}

TEST(AVCensusDeathTest, LeakedItemsAreReportedByTheLeakChecker) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(_exit(leaksAfter(true)), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(_exit(leaksAfter(false)), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
