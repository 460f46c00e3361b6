// The main queue: blocks wait here until the main thread's run loop runs them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/dispatch/dispatch_queue.h"

namespace dispatch {

class MainQueue final : public DispatchQueue {
 public:
  static std::shared_ptr<MainQueue> shared();

  void async(dispatch_block_t block) override;
  void sync(const dispatch_block_t& block) override;

  // Urgent work (a termination request) runs before every ordinary block that waits. Any thread.
  void asyncUrgent(dispatch_block_t block);
  // Whether urgent work waits: a block that runs long may make way for it (resumeFirst).
  bool urgentWaiting() const { return urgent_waiting_.load(std::memory_order_relaxed); }
  // Queues `block` ahead of every ordinary block that waits, behind urgent work: the rest of a
  // block that made way for urgent work, so that what it still has to do keeps its place.
  void resumeFirst(dispatch_block_t block);

  // Runs at most one block, waiting for one until `deadline`. Answers whether a block ran.
  bool runOne(Clock::time_point deadline);
  void wake();
  size_t pendingBlocks() const;

  MainQueue() : DispatchQueue("com.apple.main-thread") {}

 private:
  mutable std::mutex mutex_;
  std::condition_variable available_;
  std::deque<dispatch_block_t> urgent_;
  std::deque<dispatch_block_t> blocks_;
  std::atomic<bool> urgent_waiting_{false};
  bool woken_ = false;
};

}  // namespace dispatch
