#include "platform/avfoundation/internal/media_probes.h"

#include <deque>
#include <memory>
#include <mutex>

#include "platform/dispatch/dispatch_queue.h"
#include "platform/dispatch/dispatch_time.h"

namespace avfoundation::internal {
namespace {

// One running probe's claim on a slot; given up once the probe has run for kProbeSlotHold.
struct Slot {
  bool held = true;
};

// Like the pool beneath it, the line of waiting probes lives as long as the process.
struct Probes {
  std::mutex mutex;
  std::deque<std::function<void()>> waiting;
  int running = 0;  // slots held
};

Probes& probes() {
  static Probes* const shared = new Probes();
  return *shared;
}

void drain();

void startDrain() { dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0)->async(drain); }

// The probe holding `weak` has run too long: its slot goes to the next waiting probe.
void giveUpSlot(const std::weak_ptr<Slot>& weak) {
  auto slot = weak.lock();
  if (!slot) return;
  Probes& shared = probes();
  {
    std::lock_guard lock(shared.mutex);
    if (!slot->held) return;
    slot->held = false;
    if (shared.waiting.empty()) {
      --shared.running;
      return;
    }
  }
  startDrain();
}

// Runs waiting probes one after the other until none is left, or until the slot it holds went
// to another drain while a probe ran.
void drain() {
  Probes& shared = probes();
  for (;;) {
    std::function<void()> probe;
    auto slot = std::make_shared<Slot>();
    {
      std::lock_guard lock(shared.mutex);
      if (shared.waiting.empty()) {
        --shared.running;
        return;
      }
      probe = std::move(shared.waiting.front());
      shared.waiting.pop_front();
    }
    dispatch_after(
        dispatch_time(DISPATCH_TIME_NOW,
                      std::chrono::duration_cast<std::chrono::nanoseconds>(kProbeSlotHold).count()),
        dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
        [weak = std::weak_ptr<Slot>(slot)] { giveUpSlot(weak); });
    probe();
    std::lock_guard lock(shared.mutex);
    if (!slot->held) return;
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
  startDrain();
}

}  // namespace avfoundation::internal
