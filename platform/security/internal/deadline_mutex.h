// A mutex whose wait can end at a deadline of the steady clock. std::timed_mutex waits through
// pthread_mutex_clocklock, which ThreadSanitizer does not see, so it reports every unlock as one
// of an unlocked mutex; this one waits on a condition variable instead.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace security::internal {

class DeadlineMutex {
 public:
  void lock() {
    std::unique_lock guard(state_);
    released_.wait(guard, [this] { return !held_; });
    held_ = true;
  }

  template <class Duration>
  bool try_lock_until(std::chrono::time_point<std::chrono::steady_clock, Duration> deadline) {
    std::unique_lock guard(state_);
    if (!released_.wait_until(guard, deadline, [this] { return !held_; })) return false;
    held_ = true;
    return true;
  }

  void unlock() {
    {
      std::lock_guard guard(state_);
      held_ = false;
    }
    released_.notify_one();
  }

 private:
  std::mutex state_;
  std::condition_variable released_;
  bool held_ = false;
};

}  // namespace security::internal
