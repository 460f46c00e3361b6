#include "platform/foundation/ns_date.h"

#include <chrono>

NSTimeInterval NSDate::now() {
  std::chrono::duration<double> since_epoch = std::chrono::system_clock::now().time_since_epoch();
  return since_epoch.count() - NSTimeIntervalSince1970;
}
