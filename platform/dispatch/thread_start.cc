#include "platform/dispatch/thread_start.h"

#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/dispatch/testing/thread_start_controls.h"

namespace dispatch {
namespace {

// Process-wide, like the threads it stands for.
std::atomic<int> failures_asked{0};

}  // namespace

int startDetachedThread(std::function<void()> body) {
  if (failures_asked.load() > 0 && failures_asked.fetch_sub(1) > 0) return EAGAIN;
  try {
    std::thread(std::move(body)).detach();
    return 0;
  } catch (const std::system_error& error) {
    return error.code().value() != 0 ? error.code().value() : EAGAIN;
  }
}

namespace testing {

void failThreadStarts(int count) { failures_asked = count; }

}  // namespace testing
}  // namespace dispatch
