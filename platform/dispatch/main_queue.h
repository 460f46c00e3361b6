// The main queue: blocks wait here until the main thread's run loop runs them.
#pragma once

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

  // Runs at most one block, waiting for one until `deadline`. Answers whether a block ran.
  bool runOne(Clock::time_point deadline);
  void wake();
  size_t pendingBlocks() const;

  MainQueue() : DispatchQueue("com.apple.main-thread") {}

 private:
  mutable std::mutex mutex_;
  std::condition_variable available_;
  std::deque<dispatch_block_t> blocks_;
  bool woken_ = false;
};

}  // namespace dispatch
