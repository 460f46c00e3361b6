#include "platform/avfoundation/internal/media_probes.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

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
  int slots = 0;    // held by running probes
  int running = 0;  // probes running, with a slot or without
};

Probes& probes() {
  static Probes* const shared = new Probes();
  return *shared;
}

void startWaiting();

// Runs `probe`, which holds a slot until it ends or kProbeSlotHold has passed.
void run(std::function<void()> probe) {
  auto slot = std::make_shared<Slot>();
  auto release = [](const std::shared_ptr<Slot>& held) {
    Probes& shared = probes();
    std::lock_guard lock(shared.mutex);
    if (!held->held) return false;
    held->held = false;
    --shared.slots;
    return true;
  };
  dispatch_after(
      dispatch_time(DISPATCH_TIME_NOW,
                    std::chrono::duration_cast<std::chrono::nanoseconds>(kProbeSlotHold).count()),
      dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
      [weak = std::weak_ptr<Slot>(slot), release] {
        auto held = weak.lock();
        if (held && release(held)) startWaiting();
      });
  probe();
  release(slot);
  {
    std::lock_guard lock(probes().mutex);
    --probes().running;
  }
  startWaiting();
}

// Starts waiting probes, in the order asked, while a slot is free and fewer than
// kMostProbesRunning run.
void startWaiting() {
  Probes& shared = probes();
  std::vector<std::function<void()>> started;
  {
    std::lock_guard lock(shared.mutex);
    while (!shared.waiting.empty() && shared.slots < kConcurrentProbes &&
           shared.running < kMostProbesRunning) {
      ++shared.slots;
      ++shared.running;
      started.push_back(std::move(shared.waiting.front()));
      shared.waiting.pop_front();
    }
  }
  for (auto& probe : started) {
    dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0)->async(
        [probe = std::move(probe)]() mutable { run(std::move(probe)); });
  }
}

}  // namespace

namespace {

struct Pixels {
  std::mutex mutex;
  std::condition_variable freed;
  int64_t held = 0;
  // Reservations waiting, granted in the order asked: a large one is not passed by a stream of
  // small ones.
  std::deque<uint64_t> line;
  uint64_t next = 0;
};

Pixels& pixels() {
  static Pixels* const shared = new Pixels();
  return *shared;
}

}  // namespace

std::optional<ProbePixels> ProbePixels::reserve(int64_t wanted, const std::function<bool()>& stop) {
  wanted = std::clamp<int64_t>(wanted, 0, kProbePixelBudget);
  Pixels& shared = pixels();
  std::unique_lock lock(shared.mutex);
  const uint64_t ticket = shared.next++;
  shared.line.push_back(ticket);
  while (shared.line.front() != ticket || shared.held + wanted > kProbePixelBudget) {
    if (stop()) {
      shared.line.erase(std::find(shared.line.begin(), shared.line.end(), ticket));
      shared.freed.notify_all();
      return std::nullopt;
    }
    shared.freed.wait_for(lock, std::chrono::milliseconds(20));
  }
  shared.line.pop_front();
  shared.held += wanted;
  shared.freed.notify_all();
  return ProbePixels(wanted);
}

int64_t ProbePixels::held() {
  std::lock_guard lock(pixels().mutex);
  return pixels().held;
}

size_t ProbePixels::waiting() {
  std::lock_guard lock(pixels().mutex);
  return pixels().line.size();
}

ProbePixels::~ProbePixels() {
  if (pixels_ == 0) return;
  Pixels& shared = pixels();
  std::lock_guard lock(shared.mutex);
  shared.held -= pixels_;
  shared.freed.notify_all();
}

void runProbe(std::function<void()> probe) {
  {
    std::lock_guard lock(probes().mutex);
    probes().waiting.push_back(std::move(probe));
  }
  startWaiting();
}

}  // namespace avfoundation::internal
