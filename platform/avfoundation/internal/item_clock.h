// The time line of one player item, shared with the decoders that follow it so that they never
// hold the item itself: a thread holding the last reference to an item would end it, and with it
// themselves. The model's time stands still between the moves tests make; a library-backed item's
// time runs on the host clock at the timebase rate, up to its end.
//
// Followers (the decoders) are woken whenever the time moves or the rate changes, and tell where
// their stream ended: an item whose file does not tell its length learns its end once every
// follower has reached the end of its stream. Safe from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/avfoundation/cm_time.h"

namespace avfoundation::internal {

class DecodeWorker;

class StreamDecoder;

class ItemClock {
 public:
  CMTime currentTime() const;
  // The item time at a host time (CACurrentMediaTime's scale).
  CMTime itemTimeForHostTime(double hostTime) const;
  // The host time at which the running clock reaches `itemTime`; nullopt while it stands still,
  // runs away from it, or when it lies past the item's end.
  std::optional<double> hostTimeForItemTime(CMTime itemTime) const;
  // The host time at which the clock, running backward, goes back to `itemTime`; nullopt unless
  // it runs backward and has yet to get there.
  std::optional<double> hostTimeGoingBackTo(CMTime itemTime) const;
  float rate() const { return rate_.load(std::memory_order_acquire); }
  // The item's end; indefinite until known.
  CMTime end() const;
  // Counts the moves of the time other than its running on (seeks): a follower that sees the
  // count change must go where the time now is.
  uint64_t moves() const { return moves_.load(std::memory_order_acquire); }

  // A seek: the time jumps, and the clock runs on from there.
  void moveTo(CMTime time);
  // The time reached its end: it stays there; no follower need move.
  void settleAt(CMTime time);
  // Keeps the time so far; the rate changes from now on (false when it was that already). An
  // item of unknown length that nothing decodes (no stream a decoder follows) ends where it
  // stands once it runs.
  bool setRate(float rate);
  // From now on the time runs on the host clock, up to `end` (indefinite: until learned).
  void runOnHostClock(CMTime end);
  bool runsOnHostClock() const;
  // The volume of the player showing the item, which its audio is played at.
  float volume() const { return volume_.load(std::memory_order_acquire); }
  void setVolume(float volume) { volume_.store(volume, std::memory_order_release); }
  // The item is gone: followers stop.
  void markGone() { gone_.store(true, std::memory_order_release); }
  bool gone() const { return gone_.load(std::memory_order_acquire); }

  // A decoder follows the time from now on (held weakly), until it stops following.
  void follow(const std::shared_ptr<DecodeWorker>& follower);
  void unfollow(const DecodeWorker* follower);
  // How a follower's stream ended: at its end, at what is left of a file cut on disk, or short of
  // its end (its decoder stopped: memory ran out, pictures too large, damage).
  enum class StreamEnd { kReached, kFileCut, kStoppedShort };
  // The follower's stream ended at `end`. Runs `onEndLearned` (here, on the caller's thread) when
  // that made the end of an item of unknown length known, or moved a known end back to where
  // every stream ended (its file was cut on disk, or its header declared more); a stream that
  // stopped short never moves a known end.
  void streamEnded(const DecodeWorker* follower, CMTime end,
                   StreamEnd how = StreamEnd::kReached);
  void setOnEndLearned(std::function<void()> onEndLearned);

 private:
  struct Follower {
    std::weak_ptr<DecodeWorker> worker;
    const DecodeWorker* identity;
    std::optional<CMTime> ended;
    StreamEnd how = StreamEnd::kReached;
  };
  CMTime timeAt(double hostTime) const;  // with mutex_ held
  void wakeFollowers();

  mutable std::mutex mutex_;
  CMTime time_ = kCMTimeZero;
  double anchor_host_ = 0;
  CMTime end_ = kCMTimeInvalid;
  bool host_clock_ = false;
  std::vector<Follower> followers_;
  std::function<void()> on_end_learned_;
  std::atomic<float> rate_{0.0f};
  std::atomic<uint64_t> moves_{0};
  std::atomic<float> volume_{1.0f};
  std::atomic<bool> gone_{false};
};

// How the decoder's stream ended, once it made no more frames.
ItemClock::StreamEnd streamEndOf(const StreamDecoder& decoder);

}  // namespace avfoundation::internal
