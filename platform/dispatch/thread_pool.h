// The process-wide pool of worker threads behind the global and serial queues. It grows when every
// worker is busy, so a block that waits on another queue cannot starve the pool, and shrinks as
// workers stay idle, so a burst of work leaves no threads behind.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace dispatch {

class ThreadPool {
 public:
  // Workers the pool starts at most; further jobs wait for a free one.
  static constexpr int kMaxThreads = 128;
  // A worker idle this long leaves; the next burst of work starts workers again.
  static constexpr std::chrono::seconds kIdleLifetime{5};

  static ThreadPool& shared();

  // Higher priorities run first; equal priorities run in submission order. When no worker can be
  // started (the system has no thread to give), the job waits for one that can.
  void submit(int priority, std::function<void()> job);

  // Jobs queued or running.
  int64_t outstandingJobs() const;

  // Workers alive, busy or idle.
  int threads() const;

 private:
  ThreadPool() = default;
  void workerLoop();

  struct Job {
    int priority;
    uint64_t sequence;
    std::function<void()> run;
  };

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;  // kept sorted by (priority desc, sequence asc)
  uint64_t next_sequence_ = 0;
  int threads_ = 0;
  int idle_ = 0;
  int64_t outstanding_ = 0;
};

}  // namespace dispatch
