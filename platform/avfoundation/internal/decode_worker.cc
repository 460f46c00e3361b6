#include "platform/avfoundation/internal/decode_worker.h"

#include <algorithm>
#include <cmath>

#include "platform/dispatch/dispatch_time.h"
#include "platform/quartzcore/ca_media_timing.h"

namespace avfoundation::internal {
namespace {

// Timers closer together than this are one timer.
constexpr double kTimerSlackSeconds = 0.001;
// A timer is never set further ahead than this; a step then sets the next one.
constexpr double kLongestTimerSeconds = 3600;

}  // namespace

DecodeWorker::DecodeWorker(const char* label)
    : queue_(dispatch_queue_create(label, DISPATCH_QUEUE_SERIAL)) {}

void DecodeWorker::wake() {
  if (cancelled() || step_pending_.exchange(true, std::memory_order_acq_rel)) return;
  queue_->async([self = shared_from_this()] {
    self->step_pending_.store(false, std::memory_order_release);
    if (!self->cancelled()) self->step();
  });
}

void DecodeWorker::wakeAt(double hostTime) {
  if (cancelled() || std::isnan(hostTime)) return;
  double delay = std::clamp(hostTime - CACurrentMediaTime(), 0.0, kLongestTimerSeconds);
  uint64_t generation;
  {
    std::lock_guard lock(timer_mutex_);
    if (timer_due_ && *timer_due_ <= hostTime + kTimerSlackSeconds) return;
    timer_due_ = hostTime;
    generation = ++timer_generation_;
  }
  // The timer holds the worker weakly: a cancelled or released worker is not kept for it.
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * NSEC_PER_SEC)),
                 queue_, [weak = weak_from_this(), generation] {
                   if (auto self = weak.lock()) self->timerFired(generation);
                 });
}

void DecodeWorker::timerFired(uint64_t generation) {
  {
    std::lock_guard lock(timer_mutex_);
    if (generation != timer_generation_) return;  // a later timer took its place
    timer_due_.reset();
  }
  wake();
}

void DecodeWorker::cancel() { cancelled_->store(true, std::memory_order_release); }

void DecodeWorker::retire(std::shared_ptr<DecodeWorker> worker) {
  if (!worker) return;
  worker->cancel();
  auto queue = worker->queue_;
  queue->async([worker = std::move(worker)]() mutable { worker.reset(); });
}

}  // namespace avfoundation::internal
