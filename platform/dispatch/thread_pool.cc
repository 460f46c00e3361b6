#include "platform/dispatch/thread_pool.h"

#include <algorithm>
#include <thread>

#include "platform/dispatch/thread_start.h"

namespace dispatch {

ThreadPool& ThreadPool::shared() {
  // The pool lives as long as the process: worker threads may still be running blocks while
  // static objects are destroyed at exit, so it is never torn down.
  static ThreadPool* const pool = new ThreadPool();
  return *pool;
}

void ThreadPool::submit(int priority, std::function<void()> job) {
  std::unique_lock lock(mutex_);
  Job entry{priority, next_sequence_++, std::move(job)};
  auto position = std::find_if(jobs_.begin(), jobs_.end(),
                               [&](const Job& queued) { return queued.priority < priority; });
  jobs_.insert(position, std::move(entry));
  ++outstanding_;
  // Idle workers that were woken but have not yet taken a job still count as idle, so compare
  // with the jobs waiting: one idle worker and two new jobs need a second worker.
  if (jobs_.size() > static_cast<size_t>(idle_) && threads_ < kMaxThreads) {
    ++threads_;
    if (startDetachedThread([this] { workerLoop(); }) == 0) return;
    // No thread to be had: the job waits for a worker there is, or for the next that can start
    // (each later job tries again).
    --threads_;
    wake_.notify_one();
  } else {
    wake_.notify_one();
  }
}

int64_t ThreadPool::outstandingJobs() const {
  std::lock_guard lock(mutex_);
  return outstanding_;
}

int ThreadPool::threads() const {
  std::lock_guard lock(mutex_);
  return threads_;
}

void ThreadPool::workerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    bool woken = wake_.wait_for(lock, kIdleLifetime, [this] { return !jobs_.empty(); });
    --idle_;
    if (!woken) {
      --threads_;
      return;
    }
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job.run();
    job.run = nullptr;  // release captures before counting the job as done
    lock.lock();
    --outstanding_;
  }
}

}  // namespace dispatch
