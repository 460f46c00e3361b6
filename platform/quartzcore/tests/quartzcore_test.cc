// Layers, screen display links and the media clock, through the platform API and the controls.
#include "platform/quartzcore/quartzcore.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

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
  void TearDown() override {
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
