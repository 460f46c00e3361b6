// The time line of one player item, shared with the threads that follow it (the decoders) so
// that they never hold the item itself: a thread holding the last reference to an item would end
// it, and with it themselves. The model's time stands still between the moves tests make; a
// library-backed item's time runs on the host clock at the timebase rate, up to its end.
#pragma once

#include <atomic>
#include <mutex>

#include "platform/avfoundation/cm_time.h"

namespace avfoundation::internal {

class ItemClock {
 public:
  CMTime currentTime() const;
  // The item time at a host time (CACurrentMediaTime's scale).
  CMTime itemTimeForHostTime(double hostTime) const;
  float rate() const { return rate_.load(std::memory_order_acquire); }
  CMTime end() const;

  // Moves the time; the clock runs on from here.
  void setTime(CMTime time);
  // Keeps the time so far; the rate changes from now on.
  void setRate(float rate);
  // From now on the time runs on the host clock, up to `end`.
  void runOnHostClock(CMTime end);
  bool runsOnHostClock() const;
  // The volume of the player showing the item, which its audio is played at.
  float volume() const { return volume_.load(std::memory_order_acquire); }
  void setVolume(float volume) { volume_.store(volume, std::memory_order_release); }
  // The item is gone: followers stop.
  void markGone() { gone_.store(true, std::memory_order_release); }
  bool gone() const { return gone_.load(std::memory_order_acquire); }

 private:
  CMTime timeAt(double hostTime) const;  // with mutex_ held

  mutable std::mutex mutex_;
  CMTime time_ = kCMTimeZero;
  double anchor_host_ = 0;
  CMTime end_ = kCMTimeInvalid;
  bool host_clock_ = false;
  std::atomic<float> rate_{0.0f};
  std::atomic<float> volume_{1.0f};
  std::atomic<bool> gone_{false};
};

}  // namespace avfoundation::internal
