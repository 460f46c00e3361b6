// A fixed CPU for the processes of a round-trip measurement: how dear a wake-up is depends on
// whether it has to wake another CPU and what that CPU was doing, which the scheduler decides
// anew from run to run unless every side is held to the same CPU.
#pragma once

#include <sched.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace bench {

// The highest CPU this process may run on (the one least often handed out first).
inline std::optional<int> lastAllowedCpu() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0) return std::nullopt;
  for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
    if (CPU_ISSET(cpu, &allowed)) return cpu;
  }
  return std::nullopt;
}

inline cpu_set_t singleCpu(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return set;
}

// Every thread of `pid` now, and those they start later (which inherit it). False if any
// thread could not be moved.
inline bool pinProcess(pid_t pid, const cpu_set_t& cpus) {
  bool all = true;
  std::error_code error;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    const pid_t tid = static_cast<pid_t>(std::stol(task.path().filename().string()));
    if (sched_setaffinity(tid, sizeof(cpus), &cpus) != 0) all = false;
  }
  return all && !error;
}

// Holds the calling thread to `cpus` until it goes away, then gives back what it had.
class ScopedThreadAffinity {
 public:
  explicit ScopedThreadAffinity(const cpu_set_t& cpus) {
    CPU_ZERO(&previous_);
    held_ = sched_getaffinity(0, sizeof(previous_), &previous_) == 0 &&
            sched_setaffinity(0, sizeof(cpus), &cpus) == 0;
  }
  ~ScopedThreadAffinity() {
    if (held_) sched_setaffinity(0, sizeof(previous_), &previous_);
  }
  ScopedThreadAffinity(const ScopedThreadAffinity&) = delete;
  ScopedThreadAffinity& operator=(const ScopedThreadAffinity&) = delete;

  bool held() const { return held_; }

 private:
  cpu_set_t previous_;
  bool held_ = false;
};

}  // namespace bench
