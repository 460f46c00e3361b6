#include "platform/quartzcore/ca_media_timing.h"

#include <atomic>
#include <chrono>

#include "platform/quartzcore/internal/media_clock.h"

namespace {

// The clock is process-wide, as the machine's is; tests may pin it.
std::atomic<bool> g_pinned{false};
std::atomic<double> g_pinned_seconds{0.0};

}  // namespace

CFTimeInterval CACurrentMediaTime() {
  if (g_pinned.load(std::memory_order_acquire)) {
    return g_pinned_seconds.load(std::memory_order_acquire);
  }
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double>(since).count();
}

namespace quartzcore::internal {

void pinMediaClock(std::optional<CFTimeInterval> seconds) {
  if (seconds) g_pinned_seconds.store(*seconds, std::memory_order_release);
  g_pinned.store(seconds.has_value(), std::memory_order_release);
}

}  // namespace quartzcore::internal
