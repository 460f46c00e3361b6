#include "platform/dispatch/dispatch_source.h"

#include "platform/dispatch/timer_thread.h"

void DispatchSource::setEventHandler(dispatch_block_t handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void DispatchSource::setCancelHandler(dispatch_block_t handler) {
  std::lock_guard lock(mutex_);
  cancel_handler_ = std::move(handler);
}

void DispatchSource::mergeData(unsigned long value) {
  std::lock_guard lock(mutex_);
  if (cancelled_ || type_ == DISPATCH_SOURCE_TYPE_TIMER) return;
  pending_ = type_ == DISPATCH_SOURCE_TYPE_DATA_OR ? (pending_ | value) : (pending_ + value);
  if (pending_ != 0) scheduleDelivery();
}

unsigned long DispatchSource::data() const {
  std::lock_guard lock(mutex_);
  return delivered_;
}

void DispatchSource::setTimer(dispatch_time_t start, uint64_t interval_ns) {
  std::lock_guard lock(mutex_);
  timer_start_ = start;
  timer_interval_ = interval_ns;
  ++timer_generation_;
  if (!suspended_ && !cancelled_) scheduleTimer(start, timer_generation_);
}

void DispatchSource::resume() {
  std::lock_guard lock(mutex_);
  if (!suspended_ || cancelled_) return;
  suspended_ = false;
  if (type_ == DISPATCH_SOURCE_TYPE_TIMER) {
    ++timer_generation_;
    scheduleTimer(timer_start_, timer_generation_);
  } else if (pending_ != 0) {
    scheduleDelivery();
  }
}

void DispatchSource::suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
  ++timer_generation_;
}

void DispatchSource::cancel() {
  dispatch_block_t cancel_handler;
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    cancelled_ = true;
    ++timer_generation_;
    handler_ = nullptr;
    cancel_handler = std::move(cancel_handler_);
  }
  if (cancel_handler) dispatch_async(queue_, std::move(cancel_handler));
}

bool DispatchSource::isCancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

void DispatchSource::scheduleDelivery() {
  if (delivery_scheduled_ || suspended_) return;
  delivery_scheduled_ = true;
  auto self = shared_from_this();
  dispatch_async(queue_, [self] { self->deliver(); });
}

void DispatchSource::deliver() {
  dispatch_block_t handler;
  {
    std::lock_guard lock(mutex_);
    delivery_scheduled_ = false;
    if (cancelled_ || suspended_) return;
    delivered_ = type_ == DISPATCH_SOURCE_TYPE_TIMER ? 1 : pending_;
    pending_ = 0;
    handler = handler_;
  }
  if (handler) handler();
}

void DispatchSource::scheduleTimer(dispatch_time_t when, uint64_t generation) {
  if (when == DISPATCH_TIME_FOREVER) return;
  std::weak_ptr<DispatchSource> weak = shared_from_this();
  dispatch::TimerThread::shared().schedule(dispatch::toTimePoint(when), [weak, generation] {
    auto self = weak.lock();
    if (!self) return;
    std::lock_guard lock(self->mutex_);
    if (self->timer_generation_ != generation || self->cancelled_ || self->suspended_) return;
    self->scheduleDelivery();
    if (self->timer_interval_ > 0) {
      self->scheduleTimer(
          dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(self->timer_interval_)),
          generation);
    }
  });
}

dispatch_source_t dispatch_source_create(dispatch_source_type_t type, uintptr_t /*handle*/,
                                         unsigned long /*mask*/, const dispatch_queue_t& queue) {
  return std::make_shared<DispatchSource>(
      type, queue ? queue : dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0));
}

void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler) {
  if (source) source->setEventHandler(std::move(handler));
}
void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler) {
  if (source) source->setCancelHandler(std::move(handler));
}
void dispatch_source_merge_data(const dispatch_source_t& source, unsigned long value) {
  if (source) source->mergeData(value);
}
unsigned long dispatch_source_get_data(const dispatch_source_t& source) {
  return source ? source->data() : 0;
}
void dispatch_source_set_timer(const dispatch_source_t& source, dispatch_time_t start,
                               uint64_t interval, uint64_t /*leeway*/) {
  if (source) source->setTimer(start, interval);
}
void dispatch_source_cancel(const dispatch_source_t& source) {
  if (source) source->cancel();
}
long dispatch_source_testcancel(const dispatch_source_t& source) {
  return source && source->isCancelled() ? 1 : 0;
}
void dispatch_resume(const dispatch_source_t& source) {
  if (source) source->resume();
}
void dispatch_suspend(const dispatch_source_t& source) {
  if (source) source->suspend();
}
void dispatch_activate(const dispatch_source_t& source) { dispatch_resume(source); }
