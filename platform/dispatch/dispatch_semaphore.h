// Counting semaphores.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/dispatch/dispatch_time.h"

class DispatchSemaphore {
 public:
  explicit DispatchSemaphore(long value) : value_(value) {}
  // Answers 0 when the semaphore was taken, non-zero when `timeout` passed first.
  long wait(dispatch_time_t timeout);
  // Answers non-zero when a waiter was woken.
  long signal();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  long value_;
  long waiters_ = 0;
};

using dispatch_semaphore_t = std::shared_ptr<DispatchSemaphore>;

dispatch_semaphore_t dispatch_semaphore_create(long value);
long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout);
long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore);
