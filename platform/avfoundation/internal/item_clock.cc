#include "platform/avfoundation/internal/item_clock.h"

#include <cmath>

#include "platform/quartzcore/ca_media_timing.h"

namespace avfoundation::internal {
namespace {

// Nanoseconds: host times map to item times this finely.
constexpr CMTimeScale kHostTimeScale = 1000000000;

}  // namespace

CMTime ItemClock::timeAt(double hostTime) const {
  float speed = rate();
  if (!CMTIME_IS_NUMERIC(time_) || speed == 0.0f) return time_;
  double ahead = (hostTime - anchor_host_) * speed;
  if (!std::isfinite(ahead)) return time_;
  CMTime time = CMTimeAdd(time_, CMTimeMakeWithSeconds(ahead, kHostTimeScale));
  if (host_clock_) {
    if (CMTIME_IS_NUMERIC(end_) && CMTimeCompare(time, end_) > 0) time = end_;
    if (CMTimeCompare(time, kCMTimeZero) < 0) time = kCMTimeZero;
  }
  return time;
}

CMTime ItemClock::currentTime() const {
  std::lock_guard lock(mutex_);
  return host_clock_ ? timeAt(CACurrentMediaTime()) : time_;
}

CMTime ItemClock::itemTimeForHostTime(double hostTime) const {
  std::lock_guard lock(mutex_);
  if (host_clock_) return timeAt(hostTime);
  // The model's time stands still: a host time maps relative to now.
  double ahead = hostTime - CACurrentMediaTime();
  if (!std::isfinite(ahead)) return time_;
  return timeAt(anchor_host_ + ahead);
}

CMTime ItemClock::end() const {
  std::lock_guard lock(mutex_);
  return end_;
}

void ItemClock::setTime(CMTime time) {
  std::lock_guard lock(mutex_);
  time_ = time;
  anchor_host_ = CACurrentMediaTime();
}

void ItemClock::setRate(float rate) {
  std::lock_guard lock(mutex_);
  double now = CACurrentMediaTime();
  if (host_clock_) time_ = timeAt(now);
  anchor_host_ = now;
  rate_.store(rate, std::memory_order_release);
}

void ItemClock::runOnHostClock(CMTime end) {
  std::lock_guard lock(mutex_);
  double now = CACurrentMediaTime();
  time_ = timeAt(now);
  anchor_host_ = now;
  end_ = end;
  host_clock_ = true;
}

bool ItemClock::runsOnHostClock() const {
  std::lock_guard lock(mutex_);
  return host_clock_;
}

}  // namespace avfoundation::internal
