// When a page's scripts must stop. Their budget counts the CPU time of the thread that runs them,
// so that a page that finishes within its budget on an idle machine is not stopped because the
// machine is busy; a wall-clock backstop, far later, bounds what uses no CPU (a page waiting for
// the host to take its messages) and a thread starved for good.
#pragma once

#include <time.h>

#include <chrono>
#include <optional>

namespace webkit {

// The CPU time the calling thread has used.
inline std::chrono::nanoseconds threadCpuTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

struct ScriptDeadline {
  using Clock = std::chrono::steady_clock;

  // The backstop of a budget: twice the budget and 3 s more.
  static constexpr Clock::duration backstopOf(Clock::duration budget) {
    return 2 * budget + std::chrono::seconds(3);
  }
  // `budget` of this thread's CPU time from now, within its backstop.
  static ScriptDeadline after(std::chrono::nanoseconds budget) {
    return {threadCpuTime() + budget, Clock::now() + backstopOf(budget)};
  }
  // A deadline of wall-clock time alone.
  ScriptDeadline(Clock::time_point wallTime) : wall(wallTime) {}  // NOLINT: a time point is one
  ScriptDeadline(std::optional<std::chrono::nanoseconds> cpuTime, Clock::time_point wallTime)
      : cpu(cpuTime), wall(wallTime) {}

  // Whether the calling thread (the one the budget counts) is past it.
  bool passed() const { return Clock::now() >= wall || (cpu && threadCpuTime() >= *cpu); }

  std::optional<std::chrono::nanoseconds> cpu;
  Clock::time_point wall;
};

}  // namespace webkit
