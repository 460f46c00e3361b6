#include "platform/dispatch/dispatch_semaphore.h"

long DispatchSemaphore::wait(dispatch_time_t timeout) {
  std::unique_lock lock(mutex_);
  ++waiters_;
  bool taken = true;
  if (timeout == DISPATCH_TIME_FOREVER) {
    changed_.wait(lock, [this] { return value_ > 0; });
  } else {
    taken = changed_.wait_until(lock, dispatch::toTimePoint(timeout), [this] { return value_ > 0; });
  }
  --waiters_;
  if (!taken) return 1;
  --value_;
  return 0;
}

long DispatchSemaphore::signal() {
  std::lock_guard lock(mutex_);
  ++value_;
  changed_.notify_one();
  return waiters_ > 0 ? 1 : 0;
}

dispatch_semaphore_t dispatch_semaphore_create(long value) {
  if (value < 0) return nullptr;
  return std::make_shared<DispatchSemaphore>(value);
}

long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout) {
  return semaphore ? semaphore->wait(timeout) : 1;
}

long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore) {
  return semaphore ? semaphore->signal() : 0;
}
