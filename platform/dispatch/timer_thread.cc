#include "platform/dispatch/timer_thread.h"

#include <thread>

#include "platform/dispatch/thread_start.h"

namespace dispatch {

TimerThread& TimerThread::shared() {
  // Lives as long as the process, for the same reason as the thread pool.
  static TimerThread* const timers = new TimerThread();
  return *timers;
}

TimerThread::TimerThread() { running_ = startDetachedThread([this] { loop(); }) == 0; }

void TimerThread::schedule(Clock::time_point due, std::function<void()> fire) {
  std::lock_guard lock(mutex_);
  timers_.emplace(std::make_pair(due, next_sequence_++), std::move(fire));
  // A thread that could not start is tried again with each timer; those due wait for it.
  if (!running_) running_ = startDetachedThread([this] { loop(); }) == 0;
  wake_.notify_one();
}

void TimerThread::loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (timers_.empty()) {
      wake_.wait(lock);
      continue;
    }
    auto first = timers_.begin();
    if (first->first.first > Clock::now()) {
      wake_.wait_until(lock, first->first.first);
      continue;
    }
    auto fire = std::move(first->second);
    timers_.erase(first);
    lock.unlock();
    fire();
    fire = nullptr;
    lock.lock();
  }
}

}  // namespace dispatch
