#include "platform/flutter/testing/allocation_meter.h"

#include <algorithm>
#include <atomic>

namespace flutter::testing {
namespace {

// Process-wide by nature: operator new is.
std::atomic<bool> counting{false};
std::atomic<size_t> live_bytes{0};
std::atomic<size_t> peak_bytes{0};
std::atomic<size_t> process_bytes{0};
thread_local size_t thread_bytes = 0;
thread_local bool thread_metered = true;

}  // namespace

namespace allocation_counts {

void allocated(size_t bytes) {
  const size_t live = live_bytes.fetch_add(bytes, std::memory_order_relaxed) + bytes;
  size_t peak = peak_bytes.load(std::memory_order_relaxed);
  while (live > peak && !peak_bytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
  }
  if (thread_metered) {
    thread_bytes += bytes;
    process_bytes.fetch_add(bytes, std::memory_order_relaxed);
  }
}

void freed(size_t bytes) { live_bytes.fetch_sub(bytes, std::memory_order_relaxed); }

void setCounting() { counting.store(true); }

}  // namespace allocation_counts

AllocationMeter::AllocationMeter()
    : thread_start_(thread_bytes),
      process_start_(process_bytes.load()),
      live_at_start_(live_bytes.load()) {
  peak_bytes.store(live_at_start_);
}

size_t AllocationMeter::bytesAllocatedByThisThread() const { return thread_bytes - thread_start_; }

size_t AllocationMeter::bytesAllocatedByTheProcess() const {
  return process_bytes.load() - process_start_;
}

size_t AllocationMeter::peakBytesAboveStart() const {
  return peak_bytes.load() - std::min(peak_bytes.load(), live_at_start_);
}

bool AllocationMeter::isCounting() { return counting.load(); }

NotMetered::NotMetered() : was_metered_(thread_metered) { thread_metered = false; }

NotMetered::~NotMetered() { thread_metered = was_metered_; }

}  // namespace flutter::testing
