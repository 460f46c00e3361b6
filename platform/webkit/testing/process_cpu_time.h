// Test measures of the CPU time pages cost: this process's, a content process's while it runs,
// and that of the content processes already ended and reaped. A loaded machine cannot inflate
// these, unlike the time that passes.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace webkit::testing {

inline double secondsOf(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// All threads of this process.
inline double processCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
}

// Every child of this process that has ended and been reaped.
inline double endedChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
}

// /proc counts a running process's user and system time in clock ticks, each rounded down: a
// difference of two readings may be short of the time spent by this much.
inline double runningProcessReadingError() {
  return 2.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// A running process (all its threads); 0 once it is gone, or for no process.
inline double processCpuSeconds(pid_t pid) {
  if (pid <= 0) return 0;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) return 0;
  // Past the command's closing parenthesis: the state is field 3, user and system time 14, 15.
  std::istringstream fields(line.substr(line.rfind(')') + 1));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// What content processes cost over a stretch of a test: those that end in it (once reaped) and
// the one named, from when the stretch started.
class ContentCpuMeter {
 public:
  explicit ContentCpuMeter(pid_t running)
      : running_(running),
        ended_at_start_(endedChildrenCpuSeconds()),
        running_at_start_(processCpuSeconds(running)) {}

  // Seconds since the start, counting `process` (a process started meanwhile, or the one named
  // at the start) while it runs and, once reaped, as an ended child.
  double seconds(pid_t process) const {
    // One that has ended has its whole time among the ended children: what it had used at the
    // start is taken back either way.
    double base = process == running_ ? running_at_start_ : 0;
    return endedChildrenCpuSeconds() - ended_at_start_ + processCpuSeconds(process) - base;
  }

 private:
  pid_t running_;
  double ended_at_start_;
  double running_at_start_;
};

}  // namespace webkit::testing
