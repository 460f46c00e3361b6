// The main queue: blocks wait here until the main thread's run loop runs them.
//
// Beside its blocks the loop may wait on one descriptor (a watch): while the watch is wanted, the
// loop's wait ends as soon as the descriptor is readable, and the watch's work runs on the main
// thread like a block, without another thread having to wake it. While blocks keep coming the
// descriptor is still looked at, at least every kWatchCheckInterval, so neither starves.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
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

  // Watches `fd` (one watch at a time; a new one replaces the old): `wanted` is asked, on the main
  // thread under the queue's lock, before each wait (it must only read atomics), and while it
  // answers true `onReadable` runs on the main thread once the descriptor is readable or at its
  // end. Any thread.
  static constexpr std::chrono::milliseconds kWatchCheckInterval{1};
  void watchReadable(int fd, std::function<bool()> wanted, dispatch_block_t onReadable);
  // Ends the watch: once this returns the loop starts no wait on the descriptor, and what it runs
  // for a wait begun before finds its own state closed. Any thread.
  void stopWatching();

  // Runs at most one block, waiting for one until `deadline`. Answers whether a block ran.
  bool runOne(Clock::time_point deadline);
  void wake();
  size_t pendingBlocks() const;

  MainQueue();
  ~MainQueue() override;

 private:
  struct Watch {
    int fd = -1;
    std::function<bool()> wanted;
    std::shared_ptr<const dispatch_block_t> onReadable;
  };
  // Takes the next block under the lock; null if none.
  dispatch_block_t takeLocked();
  // The watch's work when it is wanted now, else null.
  std::shared_ptr<const dispatch_block_t> wantedWatchLocked(int& fd) const;
  // Waits in poll for the descriptor or a wake-up, up to `timeout` ms (0: only looks); answers
  // whether the descriptor is ready. Entered and left with the lock held.
  bool pollLocked(std::unique_lock<std::mutex>& lock, int fd, int timeout);
  void notifyLocked();

  mutable std::mutex mutex_;
  std::condition_variable available_;
  std::deque<dispatch_block_t> urgent_;
  std::deque<dispatch_block_t> blocks_;
  std::atomic<bool> urgent_waiting_{false};
  bool woken_ = false;
  Watch watch_;
  bool polling_ = false;  // the main thread waits in poll, which only the wake descriptor ends
  int wake_fd_ = -1;
  Clock::time_point last_watch_check_{};
};

}  // namespace dispatch
