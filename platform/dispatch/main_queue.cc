#include "platform/dispatch/main_queue.h"

#include <thread>

namespace dispatch {
namespace {
// Static initialisation runs on the thread that entered main().
const std::thread::id kMainThreadId = std::this_thread::get_id();
}  // namespace

bool isMainThread() { return std::this_thread::get_id() == kMainThreadId; }

std::shared_ptr<MainQueue> MainQueue::shared() {
  // Never destroyed: blocks may be posted to it from other threads while the process exits.
  static auto* const queue = new std::shared_ptr<MainQueue>(std::make_shared<MainQueue>());
  return *queue;
}

void MainQueue::async(dispatch_block_t block) {
  {
    std::lock_guard lock(mutex_);
    blocks_.push_back(std::move(block));
  }
  // Outside the lock, so that the woken main thread does not at once wait for it.
  available_.notify_all();
}

void MainQueue::asyncUrgent(dispatch_block_t block) {
  {
    std::lock_guard lock(mutex_);
    urgent_.push_back(std::move(block));
    urgent_waiting_ = true;
  }
  available_.notify_all();
}

void MainQueue::resumeFirst(dispatch_block_t block) {
  {
    std::lock_guard lock(mutex_);
    blocks_.push_front(std::move(block));
  }
  available_.notify_all();
}

void MainQueue::sync(const dispatch_block_t& block) {
  if (isMainThread()) {
    runAsCurrent(block);
    return;
  }
  enqueueAndWait(block);
}

bool MainQueue::runOne(Clock::time_point deadline) {
  dispatch_block_t block;
  {
    std::unique_lock lock(mutex_);
    available_.wait_until(
        lock, deadline, [this] { return !urgent_.empty() || !blocks_.empty() || woken_; });
    woken_ = false;
    if (!urgent_.empty()) {
      block = std::move(urgent_.front());
      urgent_.pop_front();
      urgent_waiting_ = !urgent_.empty();
    } else if (!blocks_.empty()) {
      block = std::move(blocks_.front());
      blocks_.pop_front();
    } else {
      return false;
    }
  }
  runAsCurrent(block);
  return true;
}

void MainQueue::wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  available_.notify_all();
}

size_t MainQueue::pendingBlocks() const {
  std::lock_guard lock(mutex_);
  return urgent_.size() + blocks_.size();
}

void runMainQueueUntil(const std::function<bool()>& done) {
  auto queue = MainQueue::shared();
  while (!done()) {
    // A bounded wait keeps `done` honest when another thread changes its answer without waking us.
    queue->runOne(Clock::now() + std::chrono::milliseconds(50));
  }
}

void wakeMainQueue() { MainQueue::shared()->wake(); }

}  // namespace dispatch
