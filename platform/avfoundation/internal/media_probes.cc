#include "platform/avfoundation/internal/media_probes.h"

#include <deque>
#include <mutex>

#include "platform/dispatch/dispatch_queue.h"

namespace avfoundation::internal {
namespace {

// Like the pool beneath it, the line of waiting probes lives as long as the process.
struct Probes {
  std::mutex mutex;
  std::deque<std::function<void()>> waiting;
  int running = 0;
};

Probes& probes() {
  static Probes* const shared = new Probes();
  return *shared;
}

// Runs waiting probes one after the other until none is left.
void drain() {
  Probes& shared = probes();
  for (;;) {
    std::function<void()> probe;
    {
      std::lock_guard lock(shared.mutex);
      if (shared.waiting.empty()) {
        --shared.running;
        return;
      }
      probe = std::move(shared.waiting.front());
      shared.waiting.pop_front();
    }
    probe();
  }
}

}  // namespace

void runProbe(std::function<void()> probe) {
  Probes& shared = probes();
  {
    std::lock_guard lock(shared.mutex);
    shared.waiting.push_back(std::move(probe));
    if (shared.running >= kConcurrentProbes) return;
    ++shared.running;
  }
  dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0)->async(drain);
}

}  // namespace avfoundation::internal
