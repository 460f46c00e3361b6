#include "platform/dispatch/testing/process_threads.h"

#include <sys/resource.h>

#include <fstream>
#include <string>

#include "platform/dispatch/thread_pool.h"

namespace dispatch::testing {
namespace {

double seconds(const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; }

}  // namespace

int threadCount() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  }
  return -1;
}

int threadsOutsideThePool() { return threadCount() - ThreadPool::shared().threads(); }

double otherThreadsCpuSeconds() {
  rusage process{}, main{};
  getrusage(RUSAGE_SELF, &process);
  getrusage(RUSAGE_THREAD, &main);
  return seconds(process.ru_utime) + seconds(process.ru_stime) - seconds(main.ru_utime) -
         seconds(main.ru_stime);
}

}  // namespace dispatch::testing
