// Layers, screen display links and the media clock, through the platform API and the controls.
#include "platform/quartzcore/quartzcore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/dispatch/dispatch_queue.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/quartzcore/testing/display_link_controls.h"
#include "platform/quartzcore/testing/media_clock_controls.h"

namespace {

namespace controls = quartzcore::testing;

TEST(CALayerTest, SublayersMoveBetweenParentsAndLeaveCleanly) {
  auto first = CALayer::layer(), second = CALayer::layer(), child = CALayer::layer();
  first->addSublayer(child);
  first->addSublayer(child);  // added again: moved to the end, never listed twice
  EXPECT_EQ(first->sublayers().size(), 1u);
  second->addSublayer(child);
  EXPECT_TRUE(first->sublayers().empty());
  EXPECT_EQ(child->superlayer(), second);

  second->addSublayer(second);  // a layer is never its own sublayer
  second->addSublayer(nullptr);
  EXPECT_EQ(second->sublayers().size(), 1u);

  child->removeFromSuperlayer();
  EXPECT_TRUE(second->sublayers().empty());
  EXPECT_EQ(child->superlayer(), nullptr);
  child->removeFromSuperlayer();  // already detached: nothing happens
}

TEST(CALayerTest, ALayerHeldOnlyByItsParentCanRemoveItself) {
  auto parent = CALayer::layer();
  std::weak_ptr<CALayer> gone;
  {
    auto doomed = CALayer::layer();
    gone = doomed;
    parent->addSublayer(doomed);
    parent->addSublayer(CALayer::layer());
  }
  CALayer* raw = parent->sublayers()[0].get();
  raw->removeFromSuperlayer();  // the parent's reference was the last
  EXPECT_TRUE(gone.expired());
  ASSERT_EQ(parent->sublayers().size(), 1u);
  EXPECT_EQ(parent->sublayers()[0]->superlayer(), parent);
}

TEST(CALayerTest, ReleasedParentLeavesChildrenWithoutSuperlayer) {
  auto child = CALayer::layer();
  {
    auto parent = CALayer::layer();
    parent->addSublayer(child);
    child->setFrame(CGRectMake(1, 2, 3, 4));
  }
  EXPECT_EQ(child->superlayer(), nullptr);
  EXPECT_EQ(child->frame().size.width, 3);
}

class CADisplayLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { controls::holdDisplayRefresh(true); }
  void TearDown() override {
    controls::holdDisplayRefresh(false);
    controls::setDisplayRefreshPeriod(1.0 / 60);
    controls::useMachineClock();
  }
  std::shared_ptr<CADisplayLink> countingLink() {
    return CADisplayLink::displayLinkWithAction([this](CADisplayLink&) { ++fired; });
  }
  int fired = 0;
};

TEST_F(CADisplayLinkTest, FiresOncePerRefreshOnlyWhileScheduledAndUnpaused) {
  auto link = countingLink();
  EXPECT_EQ(controls::refreshDisplay(), 0);  // not on the run loop yet
  link->addToRunLoopCommonModes();
  link->addToRunLoopCommonModes();  // scheduling twice still fires once per refresh
  controls::setMediaTime(42.5);
  EXPECT_EQ(controls::refreshDisplay(), 1);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(link->timestamp(), 42.5);

  link->setPaused(true);
  EXPECT_TRUE(link->isPaused());
  EXPECT_EQ(controls::refreshDisplay(), 0);
  link->setPaused(false);
  controls::refreshDisplay();
  EXPECT_EQ(fired, 2);

  link.reset();  // a released link is dropped from the run loop
  EXPECT_EQ(controls::refreshDisplay(), 0);
}

TEST_F(CADisplayLinkTest, InvalidatingFromTheTargetStopsItAndReleasesTheTarget) {
  auto captured = std::make_shared<int>(0);
  std::weak_ptr<int> watch = captured;
  auto link = CADisplayLink::displayLinkWithAction([captured](CADisplayLink& self) {
    ++*captured;
    self.invalidate();
  });
  captured.reset();
  link->addToRunLoopCommonModes();
  EXPECT_EQ(controls::refreshDisplay(), 1);
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(controls::refreshDisplay(), 0);
  link->addToRunLoopCommonModes();  // an invalid link never runs again
  EXPECT_EQ(controls::refreshDisplay(), 0);
}

TEST_F(CADisplayLinkTest, DurationIsTheDisplaysRefreshPeriod) {
  auto link = countingLink();
  EXPECT_DOUBLE_EQ(link->duration(), 1.0 / 60);
  controls::setDisplayRefreshPeriod(1.0 / 120);
  EXPECT_DOUBLE_EQ(link->duration(), 1.0 / 120);
}

// Nothing drives these links but the display's own refresh on the main run loop.
class CADisplayLinkRefreshTest : public ::testing::Test {
 protected:
  void TearDown() override {
    link.reset();
    dispatch::testing::drainUntilIdle();
  }
  void makeLink(CADisplayLink::Action extra = nullptr) {
    link = CADisplayLink::displayLinkWithAction([this, extra](CADisplayLink& self) {
      offMainThread = offMainThread || !dispatch::isMainThread();
      ++fired;
      if (extra) extra(self);
    });
  }
  bool firesAgain() {
    int before = fired;
    return dispatch::testing::runUntil([&] { return fired >= before + 2; },
                                       std::chrono::seconds(5));
  }
  // Once idle, no refresh is queued either: the link is quiet for good.
  bool quiets() {
    if (!dispatch::testing::runUntil([] { return controls::displayRefreshIsIdle(); })) return false;
    dispatch::testing::drainUntilIdle();
    return controls::displayRefreshIsIdle();
  }

  std::shared_ptr<CADisplayLink> link;
  int fired = 0;
  bool offMainThread = false;
};

TEST_F(CADisplayLinkRefreshTest, ARunningLinkTicksOnItsOwnUntilPausedHeldOrInvalidated) {
  EXPECT_TRUE(quiets());  // no link yet: no timer
  makeLink();
  EXPECT_TRUE(controls::displayRefreshIsIdle());  // made but not on the run loop
  link->addToRunLoopCommonModes();
  EXPECT_TRUE(firesAgain());
  EXPECT_FALSE(offMainThread);

  link->setPaused(true);
  EXPECT_TRUE(quiets());
  int paused = fired;
  link->setPaused(false);
  EXPECT_TRUE(firesAgain());
  EXPECT_GT(fired, paused);

  controls::holdDisplayRefresh(true);
  EXPECT_TRUE(quiets());
  controls::holdDisplayRefresh(false);
  EXPECT_TRUE(firesAgain());

  link->invalidate();
  EXPECT_TRUE(quiets());
  link->setPaused(false);  // an invalid link stays quiet
  EXPECT_TRUE(controls::displayRefreshIsIdle());
}

TEST_F(CADisplayLinkRefreshTest, ReleasedLinkStopsTheTimer) {
  makeLink();
  link->addToRunLoopCommonModes();
  EXPECT_TRUE(firesAgain());
  link.reset();
  EXPECT_TRUE(quiets());
}

TEST_F(CADisplayLinkRefreshTest, ASlowTargetSkipsMissedRefreshesInsteadOfPilingThemUp) {
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::duration<double>(1.0 / 60);
  std::vector<Clock::time_point> times;
  Clock::time_point slowEnded;
  makeLink([&](CADisplayLink&) {
    times.push_back(Clock::now());
    if (times.size() != 2) return;
    // Busy for twenty refreshes.
    const auto until = Clock::now() + 20 * period;
    while (Clock::now() < until) std::this_thread::yield();
    slowEnded = Clock::now();
  });
  link->addToRunLoopCommonModes();
  ASSERT_TRUE(
      dispatch::testing::runUntil([&] { return times.size() >= 5; }, std::chrono::seconds(5)));
  // Three more refreshes after the slow one come a period apart, not in a burst.
  EXPECT_GE(times[4] - slowEnded, period / 2);
}

TEST(MediaClockTest, PinnedAdvancedAndReleased) {
  controls::setMediaTime(10.0);
  EXPECT_EQ(CACurrentMediaTime(), 10.0);
  EXPECT_EQ(CACurrentMediaTime(), 10.0);  // pinned time does not move by itself
  controls::advanceMediaTime(0.25);
  EXPECT_EQ(CACurrentMediaTime(), 10.25);
  controls::useMachineClock();
  double earlier = CACurrentMediaTime();
  EXPECT_LE(earlier, CACurrentMediaTime());
  EXPECT_GT(earlier, 0.0);
}

}  // namespace
