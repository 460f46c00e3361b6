// One process-wide thread that hands delayed blocks to their queues when they fall due.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "platform/dispatch/dispatch_time.h"

namespace dispatch {

class TimerThread {
 public:
  static TimerThread& shared();
  void schedule(Clock::time_point due, std::function<void()> fire);

 private:
  TimerThread();
  void loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::multimap<std::pair<Clock::time_point, uint64_t>, std::function<void()>> timers_;
  uint64_t next_sequence_ = 0;
  bool running_ = false;
};

}  // namespace dispatch
