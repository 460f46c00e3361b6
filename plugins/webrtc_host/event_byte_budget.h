// A byte allowance for events that wait for the Dart side, shared by the queues of one source a
// remote peer drives (the data channels of one peer connection, one frame cryptor), so that what
// the peer sends cannot grow the host without bound, however many channels it opens.
#pragma once

#include <atomic>
#include <cstddef>

namespace webrtc_host {

// Events of all the data channels of one peer connection: a few messages of the largest size
// peers send, and many more of ordinary ones.
inline constexpr size_t kDataChannelEventBytes = size_t{64} << 20;
// Events of one frame cryptor: state changes of a few hundred bytes each.
inline constexpr size_t kFrameCryptorEventBytes = size_t{1} << 20;

class EventByteBudget {
 public:
  explicit EventByteBudget(size_t limit) : limit_(limit) {}
  EventByteBudget(const EventByteBudget&) = delete;
  EventByteBudget& operator=(const EventByteBudget&) = delete;

  size_t limit() const { return limit_; }
  size_t heldBytes() const { return held_.load(std::memory_order_relaxed); }

  // The part of the limit that ordinary events leave free for the few that matter most.
  size_t reserve() const { return limit_ / 16; }

  // Takes the bytes if all that is held stays within `ceiling` (at most the limit).
  bool tryTake(size_t bytes, size_t ceiling) {
    size_t held = held_.load(std::memory_order_relaxed);
    do {
      if (held > ceiling || bytes > ceiling - held) return false;
    } while (!held_.compare_exchange_weak(held, held + bytes, std::memory_order_relaxed));
    return true;
  }
  void give(size_t bytes) { held_.fetch_sub(bytes, std::memory_order_relaxed); }

 private:
  const size_t limit_;
  std::atomic<size_t> held_{0};
};

}  // namespace webrtc_host
