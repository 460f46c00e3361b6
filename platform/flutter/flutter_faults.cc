#include "platform/flutter/flutter_faults.h"

#include <mutex>
#include <utility>

#include "platform/foundation/ns_log.h"

namespace flutter {
namespace {

struct FaultLog {
  std::mutex mutex;
  std::vector<std::string> faults;
};

FaultLog& faultLog() {
  static auto* const log = new FaultLog();
  return *log;
}

}  // namespace

void reportFault(const std::string& description) {
  NSLog("Channel fault: %s", description.c_str());
  std::lock_guard lock(faultLog().mutex);
  // Bounded: in a long-running host nobody collects them.
  if (faultLog().faults.size() < 1000) faultLog().faults.push_back(description);
}

std::vector<std::string> takeFaults() {
  std::lock_guard lock(faultLog().mutex);
  return std::exchange(faultLog().faults, {});
}

}  // namespace flutter
