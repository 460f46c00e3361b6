// CoreVideo display links: creation, ticks on a thread of their own driven by the controls, the
// current time with its refresh period, and stopping, which waits for a callback in progress.
#include "platform/avfoundation/cv_display_link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/avfoundation/testing/av_video_output_controls.h"

namespace {

namespace av = avfoundation::testing;

class CVDisplayLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    av::holdDisplayLinkRefresh(true);
    ASSERT_EQ(CVDisplayLinkCreateWithActiveCGDisplays(&link), kCVReturnSuccess);
  }
  void TearDown() override {
    link.reset();
    av::holdDisplayLinkRefresh(false);
    av::setDisplayLinkRefreshPeriod(1, 60);
  }
  void countTicks() {
    CVDisplayLinkSetOutputCallback(
        link, [this](CVDisplayLink&, const CVTimeStamp& now, const CVTimeStamp& output,
                     CVOptionFlags, CVOptionFlags*) {
          std::lock_guard lock(mutex);
          threads.push_back(std::this_thread::get_id());
          stamps.emplace_back(now, output);
          ticked.notify_all();
          return kCVReturnSuccess;
        });
  }
  size_t ticks() {
    std::lock_guard lock(mutex);
    return threads.size();
  }

  // Waits, bounded, until `count` ticks have arrived.
  bool awaitTicks(size_t count) {
    std::unique_lock lock(mutex);
    return ticked.wait_for(lock, std::chrono::seconds(5), [&] { return threads.size() >= count; });
  }

  CVDisplayLinkRef link;
  std::mutex mutex;
  std::condition_variable ticked;
  std::vector<std::thread::id> threads;
  std::vector<std::pair<CVTimeStamp, CVTimeStamp>> stamps;
};

TEST_F(CVDisplayLinkTest, CreationCanFailAndNullLinksAreRefused) {
  int live = av::liveDisplayLinkCount();
  av::failNextDisplayLinkCreation();
  CVDisplayLinkRef failed = link;
  EXPECT_EQ(CVDisplayLinkCreateWithActiveCGDisplays(&failed), kCVReturnError);
  EXPECT_EQ(failed, nullptr);
  EXPECT_EQ(av::liveDisplayLinkCount(), live);
  EXPECT_EQ(CVDisplayLinkCreateWithActiveCGDisplays(nullptr), kCVReturnInvalidArgument);

  CVTimeStamp stamp;
  EXPECT_EQ(CVDisplayLinkStart(failed), kCVReturnInvalidArgument);
  EXPECT_EQ(CVDisplayLinkStop(failed), kCVReturnInvalidArgument);
  EXPECT_FALSE(CVDisplayLinkIsRunning(failed));
  EXPECT_EQ(CVDisplayLinkGetCurrentTime(failed, &stamp), kCVReturnInvalidArgument);
  EXPECT_EQ(CVDisplayLinkSetOutputCallback(failed, nullptr), kCVReturnInvalidArgument);
  EXPECT_EQ(CVDisplayLinkGetCurrentCGDisplay(failed), 0u);
}

TEST_F(CVDisplayLinkTest, TicksOnItsOwnThreadOnlyWhileRunning) {
  countTicks();
  EXPECT_EQ(av::tickDisplayLinks(), 0);
  EXPECT_EQ(ticks(), 0u);
  CVDisplayLinkStart(link);
  CVDisplayLinkStart(link);  // already running: still one tick per refresh
  EXPECT_TRUE(CVDisplayLinkIsRunning(link));
  EXPECT_EQ(av::tickDisplayLinks(), 1);
  EXPECT_EQ(av::tickDisplayLinks(), 1);
  ASSERT_EQ(ticks(), 2u);  // the control returns once the callback has run
  EXPECT_NE(threads[0], std::this_thread::get_id());
  EXPECT_EQ(threads[0], threads[1]);
  // Each refresh's output time is one period after its own time.
  EXPECT_EQ(stamps[0].second.videoTime - stamps[0].first.videoTime,
            stamps[0].first.videoRefreshPeriod);
  EXPECT_EQ(stamps[1].first.videoTime, stamps[0].second.videoTime);

  CVDisplayLinkStop(link);
  EXPECT_FALSE(CVDisplayLinkIsRunning(link));
  EXPECT_EQ(av::tickDisplayLinks(), 0);
  EXPECT_EQ(ticks(), 2u);
  CVDisplayLinkStart(link);  // restarted: ticks again, on a new thread
  EXPECT_EQ(av::tickDisplayLinks(), 1);
  EXPECT_EQ(ticks(), 3u);
}

TEST_F(CVDisplayLinkTest, CurrentTimeCarriesTheRefreshPeriodWhileRunning) {
  CVTimeStamp stamp;
  EXPECT_EQ(CVDisplayLinkGetCurrentTime(link, &stamp), kCVReturnDisplayLinkNotRunning);
  EXPECT_EQ(CVDisplayLinkGetCurrentTime(link, nullptr), kCVReturnInvalidArgument);
  av::setDisplayLinkRefreshPeriod(1001, 120000);
  CVDisplayLinkStart(link);
  ASSERT_EQ(CVDisplayLinkGetCurrentTime(link, &stamp), kCVReturnSuccess);
  EXPECT_EQ(stamp.videoRefreshPeriod, 1001);
  EXPECT_EQ(stamp.videoTimeScale, 120000);

  EXPECT_EQ(CVDisplayLinkSetCurrentCGDisplay(link, 7), kCVReturnSuccess);
  EXPECT_EQ(CVDisplayLinkGetCurrentCGDisplay(link), 7u);
}

TEST_F(CVDisplayLinkTest, StoppingWaitsForTheCallbackInProgress) {
  std::mutex gate;
  std::condition_variable changed;
  bool inCallback = false, release = false;
  std::atomic<bool> stopReturned{false};
  bool stopReturnedDuringCallback = true;
  CVDisplayLinkSetOutputCallback(link, [&](CVDisplayLink&, const CVTimeStamp&, const CVTimeStamp&,
                                           CVOptionFlags, CVOptionFlags*) {
    std::unique_lock lock(gate);
    inCallback = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    stopReturnedDuringCallback = stopReturned.load();
    return kCVReturnSuccess;
  });
  CVDisplayLinkStart(link);
  std::thread ticker([] { av::tickDisplayLinks(); });
  {
    std::unique_lock lock(gate);
    changed.wait(lock, [&] { return inCallback; });
  }
  std::thread stopper([&] {
    CVDisplayLinkStop(link);
    stopReturned = true;
  });
  // The stop has begun once the link no longer reports running; the callback is still held.
  while (CVDisplayLinkIsRunning(link)) std::this_thread::yield();
  {
    std::lock_guard lock(gate);
    release = true;
  }
  changed.notify_all();
  stopper.join();
  ticker.join();
  EXPECT_FALSE(stopReturnedDuringCallback);
  EXPECT_TRUE(stopReturned.load());
}

TEST_F(CVDisplayLinkTest, StoppedFromItsOwnCallbackThenRestartedTicksOncePerRefresh) {
  std::atomic<bool> stopInCallback{true};
  std::atomic<int> calls{0};
  CVDisplayLinkSetOutputCallback(link, [&](CVDisplayLink&, const CVTimeStamp&, const CVTimeStamp&,
                                           CVOptionFlags, CVOptionFlags*) {
    calls.fetch_add(1);
    if (stopInCallback.exchange(false)) CVDisplayLinkStop(link);
    return kCVReturnSuccess;
  });
  CVDisplayLinkStart(link);
  EXPECT_EQ(av::tickDisplayLinks(), 1);
  EXPECT_FALSE(CVDisplayLinkIsRunning(link));
  CVDisplayLinkStart(link);
  for (int i = 0; i < 50; ++i) av::tickDisplayLinks();
  EXPECT_EQ(calls.load(), 51);
  link.reset();  // released while the thread it stopped from may still be winding down
}

TEST_F(CVDisplayLinkTest, ReleasingALiveLinkStopsItsThread) {
  int live = av::liveDisplayLinkCount();
  countTicks();
  CVDisplayLinkStart(link);
  EXPECT_EQ(av::runningDisplayLinkCount() >= 1, true);
  link.reset();
  EXPECT_EQ(av::liveDisplayLinkCount(), live - 1);
  EXPECT_EQ(av::tickDisplayLinks(), 0);
}

// Nothing drives these links but the display's own refresh.
class CVDisplayLinkRefreshTest : public CVDisplayLinkTest {
 protected:
  void SetUp() override {
    CVDisplayLinkTest::SetUp();
    av::holdDisplayLinkRefresh(false);
  }
};

TEST_F(CVDisplayLinkRefreshTest, ARunningLinkTicksOnItsOwnThreadUntilStopped) {
  int running = av::runningDisplayLinkCount();
  countTicks();
  CVDisplayLinkStart(link);
  ASSERT_TRUE(awaitTicks(3));
  {
    std::lock_guard lock(mutex);
    EXPECT_NE(threads[0], std::this_thread::get_id());
    EXPECT_EQ(stamps[1].first.videoTime, stamps[0].second.videoTime);
  }
  CVDisplayLinkStop(link);
  // Stopped: its thread is gone and nothing ticks it, not even the controls.
  EXPECT_EQ(av::runningDisplayLinkCount(), running);
  size_t stopped = ticks();
  EXPECT_EQ(av::tickDisplayLinks(), running);
  EXPECT_EQ(ticks(), stopped);
  CVDisplayLinkStart(link);
  EXPECT_TRUE(awaitTicks(stopped + 2));
}

TEST_F(CVDisplayLinkRefreshTest, ASlowCallbackSkipsMissedRefreshesInsteadOfPilingThemUp) {
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::duration<double>(1.0 / 60);
  std::vector<Clock::time_point> times;
  Clock::time_point slowEnded;
  CVDisplayLinkSetOutputCallback(link, [&](CVDisplayLink&, const CVTimeStamp&, const CVTimeStamp&,
                                           CVOptionFlags, CVOptionFlags*) {
    std::unique_lock lock(mutex);
    times.push_back(Clock::now());
    if (times.size() == 2) {
      // Busy for twenty refreshes.
      const auto until = Clock::now() + 20 * period;
      while (Clock::now() < until) std::this_thread::yield();
      slowEnded = Clock::now();
    }
    ticked.notify_all();
    return kCVReturnSuccess;
  });
  CVDisplayLinkStart(link);
  bool arrived;
  {
    std::unique_lock lock(mutex);
    arrived = ticked.wait_for(lock, std::chrono::seconds(5), [&] { return times.size() >= 5; });
  }
  CVDisplayLinkStop(link);
  ASSERT_TRUE(arrived);
  // Three more refreshes after the slow one come a period apart, not in a burst.
  EXPECT_GE(times[4] - slowEnded, period / 2);
}

}  // namespace
