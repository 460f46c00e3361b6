#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/dispatch/testing/thread_start_controls.h"
#include "platform/dispatch/thread_pool.h"

namespace {

using dispatch::testing::drainUntilIdle;
using dispatch::testing::runUntil;

TEST(DispatchTest, MainQueueRunsOnTheMainThreadWhenPumped) {
  bool ran_on_main = false;
  std::thread([&] {
    dispatch_async(dispatch_get_main_queue(), [&] { ran_on_main = dispatch::isMainThread(); });
  }).join();
  EXPECT_TRUE(runUntil([&] { return ran_on_main; }));
}

// A termination request goes ahead of what waits; a block that makes way for it goes on next.
TEST(DispatchTest, UrgentWorkRunsAheadOfWaitingBlocksAndAResumedBlockKeepsItsPlace) {
  auto queue = dispatch::MainQueue::shared();
  std::vector<std::string> order;
  dispatch_async(dispatch_get_main_queue(), [&] {
    order.push_back("long, first part");
    queue->asyncUrgent([&] { order.push_back("urgent"); });
    EXPECT_TRUE(queue->urgentWaiting());
    queue->resumeFirst([&] { order.push_back("long, second part"); });
  });
  dispatch_async(dispatch_get_main_queue(), [&] { order.push_back("queued before"); });
  ASSERT_TRUE(drainUntilIdle());
  EXPECT_FALSE(queue->urgentWaiting());
  EXPECT_EQ(order, (std::vector<std::string>{"long, first part", "urgent", "long, second part",
                                             "queued before"}));
}

TEST(DispatchTest, SerialQueueRunsBlocksOneAtATimeInOrder) {
  auto queue = dispatch_queue_create("test.serial", DISPATCH_QUEUE_SERIAL);
  std::vector<int> order;
  std::atomic<int> running{0};
  bool overlapped = false;
  for (int i = 0; i < 200; ++i) {
    dispatch_async(queue, [&, i] {
      if (++running > 1) overlapped = true;
      order.push_back(i);
      --running;
    });
  }
  dispatch_sync(queue, [] {});
  ASSERT_EQ(order.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[i], i);
  EXPECT_FALSE(overlapped);
}

TEST(DispatchTest, SyncFromTheSameSerialQueueRunsInlineInsteadOfDeadlocking) {
  auto queue = dispatch_queue_create("test.reentry", DISPATCH_QUEUE_SERIAL);
  bool inner = false;
  dispatch_sync(queue, [&] { dispatch_sync(queue, [&] { inner = true; }); });
  EXPECT_TRUE(inner);
}

TEST(DispatchTest, IdleWorkersLeaveThePool) {
  // Eight blocks running at once take eight workers; once they are done, nothing keeps them.
  constexpr int kBusy = 8;
  std::mutex mutex;
  std::condition_variable all_in;
  int running = 0;
  for (int i = 0; i < kBusy; ++i) {
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
      std::unique_lock lock(mutex);
      ++running;
      all_in.notify_all();
      all_in.wait_for(lock, std::chrono::seconds(5), [&] { return running == kBusy; });
    });
  }
  ASSERT_TRUE(runUntil([&] { return dispatch::ThreadPool::shared().outstandingJobs() == 0; }));
  EXPECT_GE(running, kBusy);
  EXPECT_TRUE(runUntil([] { return dispatch::ThreadPool::shared().threads() == 0; },
                       std::chrono::seconds(15)));
}

TEST(DispatchTest, SyncOnASerialQueueNeedsNoPoolThread) {
  // Every pool thread is taken, and more work waits for one.
  auto release = dispatch_semaphore_create(0);
  std::atomic<int> taken{0};
  constexpr int kBlockers = dispatch::ThreadPool::kMaxThreads + 2;
  for (int i = 0; i < kBlockers; ++i) {
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&, release] {
      ++taken;
      dispatch_semaphore_wait(release, DISPATCH_TIME_FOREVER);
    });
  }
  // Were sync to wait for the pool, the watchdog frees it: the test then fails, never hangs.
  std::promise<void> synced;
  std::atomic<bool> freed_by_watchdog{false};
  std::thread watchdog([&, done = synced.get_future(), release] {
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
      freed_by_watchdog = true;
      for (int i = 0; i < kBlockers; ++i) dispatch_semaphore_signal(release);
    }
  });
  EXPECT_TRUE(runUntil([&] { return taken == dispatch::ThreadPool::kMaxThreads; }));

  auto queue = dispatch_queue_create("test.starved", DISPATCH_QUEUE_SERIAL);
  std::vector<int> order;
  std::thread::id ran_on;
  dispatch_async(queue, [&] { order.push_back(1); });
  dispatch_sync(queue, [&] {
    order.push_back(2);
    ran_on = std::this_thread::get_id();
  });
  synced.set_value();
  watchdog.join();

  EXPECT_FALSE(freed_by_watchdog);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  if (!freed_by_watchdog) {
    for (int i = 0; i < kBlockers; ++i) dispatch_semaphore_signal(release);
  }
  EXPECT_TRUE(drainUntilIdle());
}

TEST(DispatchTest, SyncCallersAndAsyncBlocksShareASerialQueueInOrder) {
  auto queue = dispatch_queue_create("test.mixed", DISPATCH_QUEUE_SERIAL);
  std::vector<int> seen;  // guarded by the queue itself
  std::atomic<int> running{0}, overlaps{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        auto record = [&, value = t * 1000 + i] {
          if (++running > 1) ++overlaps;
          seen.push_back(value);
          --running;
        };
        i % 3 == 0 ? dispatch_sync(queue, record) : dispatch_async(queue, record);
      }
    });
  }
  for (auto& caller : callers) caller.join();
  dispatch_sync(queue, [] {});
  ASSERT_EQ(seen.size(), 800u);
  EXPECT_EQ(overlaps, 0);
  std::vector<int> last(4, -1);  // each caller's blocks ran in the order it gave them
  for (int value : seen) {
    EXPECT_GT(value % 1000, last[value / 1000]);
    last[value / 1000] = value % 1000;
  }
}

TEST(DispatchTest, QueueSpecificKeysIdentifyTheRunningQueue) {
  static int key;
  int context = 7;
  auto queue = dispatch_queue_create("test.specific", DISPATCH_QUEUE_SERIAL);
  dispatch_queue_set_specific(queue, &key, &context);
  void* seen = nullptr;
  dispatch_sync(queue, [&] { seen = dispatch_get_specific(&key); });
  EXPECT_EQ(seen, &context);
  EXPECT_EQ(dispatch_get_specific(&key), nullptr);
  EXPECT_STREQ(dispatch_queue_get_label(queue), "test.specific");
}

TEST(DispatchTest, GlobalQueuesRunConcurrentlyAndDrainWaitsForThem) {
  std::atomic<int> done{0};
  auto release = dispatch_semaphore_create(0);
  // Two blocks that wait for each other only finish if they run at the same time.
  for (int i = 0; i < 2; ++i) {
    dispatch_async(dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0), [&, release] {
      dispatch_semaphore_signal(release);
      dispatch_semaphore_wait(release, dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_SEC));
      dispatch_semaphore_signal(release);
      ++done;
    });
  }
  EXPECT_TRUE(drainUntilIdle());
  EXPECT_EQ(done, 2);
}

TEST(DispatchTest, ABurstOfBlocksGetsAWorkerEach) {
  // One idle worker, then a burst of blocks that can only finish together.
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [] {});
  ASSERT_TRUE(drainUntilIdle());
  constexpr int kBurst = 16;
  std::mutex mutex;
  std::condition_variable arrived_changed;
  int arrived = 0;
  std::atomic<int> met{0};
  for (int i = 0; i < kBurst; ++i) {
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
      std::unique_lock lock(mutex);
      ++arrived;
      arrived_changed.notify_all();
      if (arrived_changed.wait_for(lock, std::chrono::seconds(5),
                                   [&] { return arrived == kBurst; })) {
        ++met;
      }
    });
  }
  EXPECT_TRUE(drainUntilIdle());
  EXPECT_EQ(met, kBurst);
}

TEST(DispatchTest, AfterRunsNoEarlierThanAsked) {
  auto start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point fired;
  bool ran = false;
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 20 * NSEC_PER_MSEC), dispatch_get_main_queue(),
                 [&] {
                   fired = std::chrono::steady_clock::now();
                   ran = true;
                 });
  ASSERT_TRUE(runUntil([&] { return ran; }));
  EXPECT_GE(fired - start, std::chrono::milliseconds(20));
}

TEST(DispatchTest, DataAddSourceCoalescesMergedValues) {
  auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_DATA_ADD, 0, 0, dispatch_get_main_queue());
  unsigned long total = 0;
  int deliveries = 0;
  dispatch_source_set_event_handler(source, [&] {
    total += dispatch_source_get_data(source);
    ++deliveries;
  });
  dispatch_resume(source);
  for (int i = 0; i < 5; ++i) dispatch_source_merge_data(source, 2);
  ASSERT_TRUE(runUntil([&] { return total == 10; }));
  EXPECT_EQ(deliveries, 1);
  dispatch_source_cancel(source);
  dispatch_source_merge_data(source, 1);
  drainUntilIdle();
  EXPECT_EQ(total, 10u);
}

TEST(DispatchTest, TimerSourceFiresRepeatedlyUntilCancelled) {
  auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
  int fired = 0;
  dispatch_source_set_event_handler(source, [&] { ++fired; });
  dispatch_source_set_timer(source, DISPATCH_TIME_NOW, 2 * NSEC_PER_MSEC, 0);
  dispatch_resume(source);
  ASSERT_TRUE(runUntil([&] { return fired >= 3; }));
  dispatch_source_cancel(source);
  int after_cancel = fired;
  runUntil([] { return false; }, std::chrono::milliseconds(20));
  EXPECT_EQ(fired, after_cancel);
}

TEST(DispatchTest, OnceRunsExactlyOnceAcrossThreads) {
  static dispatch_once_t once;
  std::atomic<int> runs{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) threads.emplace_back([&] { dispatch_once(&once, [&] { ++runs; }); });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(runs, 1);
}

// Run in a process of its own, whose pool has no worker yet.
TEST(DispatchTest, AJobWhoseWorkerCannotStartWaitsForTheNextWorkerAndIsNotLost) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        dispatch::testing::failThreadStarts(1);
        auto ran = dispatch_semaphore_create(0);
        auto queue = dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0);
        // No worker can start for the first; the second's starts and runs both.
        for (int i = 0; i < 2; ++i) dispatch_async(queue, [ran] { dispatch_semaphore_signal(ran); });
        const auto guard = dispatch_time(DISPATCH_TIME_NOW, 30 * NSEC_PER_SEC);
        bool both = dispatch_semaphore_wait(ran, guard) == 0 && dispatch_semaphore_wait(ran, guard) == 0;
        std::_Exit(both ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
