#include "platform/flutter/testing/socket_controls.h"

#include <atomic>

#include "platform/flutter/socket_connection.h"

namespace flutter::testing {
namespace {
// Process-wide, as the engine's listening socket is.
std::atomic<std::chrono::milliseconds::rep> stall_time{kDefaultSocketStallTime.count()};
}  // namespace

std::chrono::milliseconds socketStallTime() { return std::chrono::milliseconds(stall_time.load()); }

void setSocketStallTime(std::chrono::milliseconds stallTime) { stall_time = stallTime.count(); }

}  // namespace flutter::testing
