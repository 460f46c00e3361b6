// Dispatch sources: data sources that coalesce merged values until their handler runs on the
// target queue, and timer sources that fire repeatedly on it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/dispatch/dispatch_queue.h"

enum class dispatch_source_type_t { data_add, data_or, timer };
inline constexpr dispatch_source_type_t DISPATCH_SOURCE_TYPE_DATA_ADD = dispatch_source_type_t::data_add;
inline constexpr dispatch_source_type_t DISPATCH_SOURCE_TYPE_DATA_OR = dispatch_source_type_t::data_or;
inline constexpr dispatch_source_type_t DISPATCH_SOURCE_TYPE_TIMER = dispatch_source_type_t::timer;

class DispatchSource : public std::enable_shared_from_this<DispatchSource> {
 public:
  DispatchSource(dispatch_source_type_t type, dispatch_queue_t queue)
      : type_(type), queue_(std::move(queue)) {}

  void setEventHandler(dispatch_block_t handler);
  void setCancelHandler(dispatch_block_t handler);
  void mergeData(unsigned long value);
  // The value coalesced for the handler now running.
  unsigned long data() const;
  void setTimer(dispatch_time_t start, uint64_t interval_ns);
  void resume();
  void suspend();
  void cancel();
  bool isCancelled() const;

 private:
  void scheduleDelivery();  // called with mutex_ held
  void deliver();
  void scheduleTimer(dispatch_time_t when, uint64_t generation);

  const dispatch_source_type_t type_;
  const dispatch_queue_t queue_;
  mutable std::mutex mutex_;
  dispatch_block_t handler_;
  dispatch_block_t cancel_handler_;
  unsigned long pending_ = 0;
  unsigned long delivered_ = 0;
  bool delivery_scheduled_ = false;
  bool suspended_ = true;
  bool cancelled_ = false;
  dispatch_time_t timer_start_ = DISPATCH_TIME_FOREVER;
  uint64_t timer_interval_ = 0;
  uint64_t timer_generation_ = 0;
};

using dispatch_source_t = std::shared_ptr<DispatchSource>;

dispatch_source_t dispatch_source_create(dispatch_source_type_t type, uintptr_t handle,
                                         unsigned long mask, const dispatch_queue_t& queue);
void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler);
void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler);
void dispatch_source_merge_data(const dispatch_source_t& source, unsigned long value);
unsigned long dispatch_source_get_data(const dispatch_source_t& source);
void dispatch_source_set_timer(const dispatch_source_t& source, dispatch_time_t start,
                               uint64_t interval, uint64_t leeway);
void dispatch_source_cancel(const dispatch_source_t& source);
long dispatch_source_testcancel(const dispatch_source_t& source);
void dispatch_resume(const dispatch_source_t& source);
void dispatch_suspend(const dispatch_source_t& source);
void dispatch_activate(const dispatch_source_t& source);
