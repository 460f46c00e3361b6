#include "platform/dispatch/testing/main_queue_pump.h"

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/thread_pool.h"

namespace dispatch::testing {

bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  auto queue = MainQueue::shared();
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    auto now = Clock::now();
    if (now >= deadline) return done();
    queue->runOne(std::min(deadline, now + std::chrono::milliseconds(2)));
  }
  return true;
}

bool drainUntilIdle(std::chrono::milliseconds timeout) {
  auto queue = MainQueue::shared();
  return runUntil(
      [&] {
        // Bounded, so a block that keeps re-posting itself cannot hold the check forever.
        for (int ran = 0; ran < 1000 && queue->runOne(Clock::now()); ++ran) {
        }
        return queue->pendingBlocks() == 0 && ThreadPool::shared().outstandingJobs() == 0;
      },
      timeout);
}

}  // namespace dispatch::testing
