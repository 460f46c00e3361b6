#include "platform/dispatch/main_queue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

namespace dispatch {
namespace {
// Static initialisation runs on the thread that entered main().
const std::thread::id kMainThreadId = std::this_thread::get_id();

// Milliseconds until `deadline`, rounded up so that poll does not end just before it.
int millisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT32_MAX));
}
}  // namespace

bool isMainThread() { return std::this_thread::get_id() == kMainThreadId; }

std::shared_ptr<MainQueue> MainQueue::shared() {
  // Never destroyed: blocks may be posted to it from other threads while the process exits.
  static auto* const queue = new std::shared_ptr<MainQueue>(std::make_shared<MainQueue>());
  return *queue;
}

MainQueue::MainQueue()
    : DispatchQueue("com.apple.main-thread"), wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (wake_fd_ < 0) throw std::runtime_error(std::string("eventfd failed: ") + std::strerror(errno));
}

MainQueue::~MainQueue() { ::close(wake_fd_); }

void MainQueue::notifyLocked() {
  if (!polling_) return;
  uint64_t one = 1;
  // Fails only when the counter is saturated, which leaves it readable all the same.
  [[maybe_unused]] auto written = ::write(wake_fd_, &one, sizeof(one));
}

void MainQueue::async(dispatch_block_t block) {
  {
    std::lock_guard lock(mutex_);
    blocks_.push_back(std::move(block));
    notifyLocked();
  }
  // Outside the lock, so that the woken main thread does not at once wait for it.
  available_.notify_all();
}

void MainQueue::asyncUrgent(dispatch_block_t block) {
  {
    std::lock_guard lock(mutex_);
    urgent_.push_back(std::move(block));
    urgent_waiting_ = true;
    notifyLocked();
  }
  available_.notify_all();
}

void MainQueue::resumeFirst(dispatch_block_t block) {
  {
    std::lock_guard lock(mutex_);
    blocks_.push_front(std::move(block));
    notifyLocked();
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

void MainQueue::watchReadable(int fd, std::function<bool()> wanted, dispatch_block_t onReadable) {
  {
    std::lock_guard lock(mutex_);
    watch_ = Watch{fd, std::move(wanted),
                   std::make_shared<const dispatch_block_t>(std::move(onReadable))};
    notifyLocked();
  }
  available_.notify_all();
}

void MainQueue::stopWatching() {
  {
    std::lock_guard lock(mutex_);
    watch_ = Watch{};
    notifyLocked();
  }
  available_.notify_all();
}

dispatch_block_t MainQueue::takeLocked() {
  dispatch_block_t block;
  if (!urgent_.empty()) {
    block = std::move(urgent_.front());
    urgent_.pop_front();
    urgent_waiting_ = !urgent_.empty();
  } else if (!blocks_.empty()) {
    block = std::move(blocks_.front());
    blocks_.pop_front();
  }
  return block;
}

std::shared_ptr<const dispatch_block_t> MainQueue::wantedWatchLocked(int& fd) const {
  if (watch_.fd < 0 || !watch_.onReadable || (watch_.wanted && !watch_.wanted())) return nullptr;
  fd = watch_.fd;
  return watch_.onReadable;
}

bool MainQueue::pollLocked(std::unique_lock<std::mutex>& lock, int fd, int timeout) {
  polling_ = timeout != 0;
  lock.unlock();
  pollfd fds[] = {{wake_fd_, POLLIN, 0}, {fd, POLLIN, 0}};
  const int ready = ::poll(fds, 2, timeout);
  if (ready > 0 && (fds[0].revents & POLLIN)) {
    uint64_t count;
    [[maybe_unused]] auto read = ::read(wake_fd_, &count, sizeof(count));
  }
  lock.lock();
  polling_ = false;
  last_watch_check_ = Clock::now();
  return ready > 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool MainQueue::runOne(Clock::time_point deadline) {
  std::shared_ptr<const dispatch_block_t> watched;
  dispatch_block_t block;
  {
    std::unique_lock lock(mutex_);
    while (true) {
      int fd = -1;
      auto watch = wantedWatchLocked(fd);
      const bool queued = !urgent_.empty() || !blocks_.empty();
      if (watch && (queued || woken_ || Clock::now() >= deadline)) {
        // Blocks wait, or the caller does not: the descriptor is only looked at, and no more
        // often than every kWatchCheckInterval while blocks keep coming.
        if (!urgent_waiting_ && (!queued || Clock::now() - last_watch_check_ >= kWatchCheckInterval) &&
            pollLocked(lock, fd, 0)) {
          watched = std::move(watch);
          break;
        }
      }
      if (!urgent_.empty() || !blocks_.empty() || woken_) {
        woken_ = false;
        block = takeLocked();
        if (!block) return false;
        break;
      }
      if (Clock::now() >= deadline) return false;
      if (!watch) {
        available_.wait_until(
            lock, deadline, [this] { return !urgent_.empty() || !blocks_.empty() || woken_; });
        continue;
      }
      if (pollLocked(lock, fd, millisecondsUntil(deadline))) {
        // What was queued meanwhile still goes first; the descriptor stays readable.
        if (!urgent_.empty() || !blocks_.empty()) continue;
        watched = std::move(watch);
        break;
      }
    }
  }
  if (watched) {
    runAsCurrent(*watched);
    return true;
  }
  runAsCurrent(block);
  return true;
}

void MainQueue::wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
    notifyLocked();
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
