#include "platform/avfoundation/internal/item_clock.h"

#include <cmath>

#include "platform/avfoundation/internal/decode_worker.h"
#include "platform/avfoundation/internal/stream_decoder.h"
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

std::optional<double> ItemClock::hostTimeForItemTime(CMTime itemTime) const {
  std::lock_guard lock(mutex_);
  float speed = rate();
  if (!host_clock_ || speed <= 0.0f || !CMTIME_IS_NUMERIC(time_) || !CMTIME_IS_NUMERIC(itemTime)) {
    return std::nullopt;
  }
  // The time stops at the item's end: streams that run on past it are never due.
  if (CMTIME_IS_NUMERIC(end_) && CMTimeCompare(itemTime, end_) > 0) return std::nullopt;
  double host = anchor_host_ + CMTimeGetSeconds(CMTimeSubtract(itemTime, time_)) / speed;
  if (!std::isfinite(host)) return std::nullopt;
  return host;
}

std::optional<double> ItemClock::hostTimeGoingBackTo(CMTime itemTime) const {
  std::lock_guard lock(mutex_);
  float speed = rate();
  // Compared with the time now, which stops at zero.
  if (!host_clock_ || speed >= 0.0f || !CMTIME_IS_NUMERIC(time_) || !CMTIME_IS_NUMERIC(itemTime) ||
      CMTimeCompare(itemTime, timeAt(CACurrentMediaTime())) >= 0) {
    return std::nullopt;
  }
  double host = anchor_host_ + CMTimeGetSeconds(CMTimeSubtract(itemTime, time_)) / speed;
  if (!std::isfinite(host)) return std::nullopt;
  return host;
}

CMTime ItemClock::end() const {
  std::lock_guard lock(mutex_);
  return end_;
}

void ItemClock::moveTo(CMTime time) {
  {
    std::lock_guard lock(mutex_);
    time_ = time;
    anchor_host_ = CACurrentMediaTime();
    moves_.fetch_add(1, std::memory_order_acq_rel);
  }
  wakeFollowers();
}

void ItemClock::settleAt(CMTime time) {
  std::lock_guard lock(mutex_);
  time_ = time;
  anchor_host_ = CACurrentMediaTime();
}

bool ItemClock::setRate(float rate) {
  std::function<void()> learned;
  {
    std::lock_guard lock(mutex_);
    double now = CACurrentMediaTime();
    if (host_clock_) time_ = timeAt(now);
    anchor_host_ = now;
    if (rate_.exchange(rate, std::memory_order_acq_rel) == rate) return false;
    if (rate != 0.0f && host_clock_ && followers_.empty() && CMTIME_IS_INDEFINITE(end_)) {
      end_ = time_;
      learned = on_end_learned_;
    }
  }
  if (learned) learned();
  wakeFollowers();
  return true;
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

void ItemClock::follow(const std::shared_ptr<DecodeWorker>& follower) {
  std::lock_guard lock(mutex_);
  followers_.push_back(Follower{follower, follower.get(), std::nullopt});
}

void ItemClock::unfollow(const DecodeWorker* follower) {
  std::lock_guard lock(mutex_);
  std::erase_if(followers_, [follower](const Follower& each) { return each.identity == follower; });
}

void ItemClock::streamEnded(const DecodeWorker* follower, CMTime end, StreamEnd how) {
  std::function<void()> learned;
  {
    std::lock_guard lock(mutex_);
    CMTime latest = kCMTimeZero;
    bool all = true;
    bool anyCut = false;
    bool anyShort = false;
    for (auto& each : followers_) {
      if (each.identity == follower) {
        each.ended = end;
        each.how = how;
      }
      if (each.ended) {
        anyCut = anyCut || each.how == StreamEnd::kFileCut;
        anyShort = anyShort || each.how == StreamEnd::kStoppedShort;
        latest = CMTimeMaximum(latest, *each.ended);
      } else {
        all = false;
      }
    }
    // An end that was never known is learned. A known end moves only back, to where every
    // stream ended: a file cut on disk, or a header declaring more than its streams hold (an
    // end of zero is only that of decoders that could not open, which leaves the known end).
    // A decoder that stopped short says nothing of where its stream ends.
    bool cutShort = CMTIME_IS_NUMERIC(end_) && CMTimeCompare(latest, end_) < 0 && !anyShort &&
                    (anyCut || CMTimeCompare(latest, kCMTimeZero) > 0);
    if (!all || !host_clock_ || (!CMTIME_IS_INDEFINITE(end_) && !cutShort)) return;
    end_ = latest;
    learned = on_end_learned_;
  }
  if (learned) learned();
}

void ItemClock::setOnEndLearned(std::function<void()> onEndLearned) {
  std::lock_guard lock(mutex_);
  on_end_learned_ = std::move(onEndLearned);
}

void ItemClock::wakeFollowers() {
  std::vector<std::shared_ptr<DecodeWorker>> awake;
  {
    std::lock_guard lock(mutex_);
    for (const auto& each : followers_) {
      if (auto worker = each.worker.lock()) awake.push_back(std::move(worker));
    }
  }
  for (const auto& worker : awake) worker->wake();
}

ItemClock::StreamEnd streamEndOf(const StreamDecoder& decoder) {
  if (decoder.fileCut()) return ItemClock::StreamEnd::kFileCut;
  return decoder.reachedEndOfStream() ? ItemClock::StreamEnd::kReached
                                      : ItemClock::StreamEnd::kStoppedShort;
}

}  // namespace avfoundation::internal
