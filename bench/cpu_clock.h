// CPU time for the ratios of paths to their baselines: time spent waiting for a CPU while other
// work shares the machine counts on neither side, so a ratio holds from one run to the next.
// Waits that are part of the work (a disk's sync, a thread's wake-up) are not counted either:
// what is compared is the work each side makes the machine do.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace bench {

inline double cpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Every thread of this process: the plug-ins' workers and the main queue included.
inline double processCpuSeconds() { return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }

// Every thread of another process (a child of this one); 0 when it cannot be read.
inline double processCpuSeconds(pid_t pid) {
  clockid_t clock;
  if (clock_getcpuclockid(pid, &clock) != 0) return 0;
  return cpuSeconds(clock);
}

// Every live process below this one (a worker the platform started, say): their CPU counts with
// the work they do for this process. Read from /proc/self/task/*/children, recursively.
inline double descendantsCpuSeconds(pid_t parent = 0) {
  double total = 0;
  const std::string tasks =
      parent == 0 ? std::string("/proc/self/task") : "/proc/" + std::to_string(parent) + "/task";
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream children(task.path() / "children");
    pid_t child;
    while (children >> child) total += processCpuSeconds(child) + descendantsCpuSeconds(child);
  }
  return total;
}

}  // namespace bench
