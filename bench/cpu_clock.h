// CPU time for the ratios of paths to their baselines: time spent waiting for a CPU while other
// work shares the machine counts on neither side, so a ratio holds from one run to the next.
// Waits that are part of the work (a disk's sync, a thread's wake-up) are not counted either:
// what is compared is the work each side makes the machine do.
#pragma once

#include <sys/types.h>
#include <time.h>

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

}  // namespace bench
