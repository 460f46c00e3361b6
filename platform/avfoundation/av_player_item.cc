#include "platform/avfoundation/av_player_item.h"

#include <algorithm>
#include <cmath>

#include "platform/avfoundation/av_census.h"
#include "platform/avfoundation/av_player.h"
#include "platform/dispatch/dispatch_time.h"
#include "platform/dispatch/dispatch_queue.h"
#include "platform/quartzcore/ca_media_timing.h"

namespace {

// Nanoseconds: host times map to item times this finely.
constexpr CMTimeScale kHostTimeScale = 1000000000;

// Completions run on the main queue, as the platform delivers them.
void completeLater(AVPlayerItem::SeekCompletion completion, bool finished) {
  if (!completion) return;
  dispatch_get_main_queue()->async([completion = std::move(completion), finished] {
    completion(finished);
  });
}

}  // namespace

std::atomic<bool> AVPlayerItem::seeks_held_{false};

std::shared_ptr<AVPlayerItem> AVPlayerItem::playerItemWithAsset(std::shared_ptr<AVURLAsset> asset) {
  auto item = std::make_shared<AVPlayerItem>(std::move(asset));
  item->loadFromLibraryIfBacked();
  return item;
}

AVPlayerItem::AVPlayerItem(std::shared_ptr<AVURLAsset> asset) : asset_(std::move(asset)) {
  AVCensus<AVPlayerItem>::shared().add(this);
}

AVPlayerItem::~AVPlayerItem() {
  AVCensus<AVPlayerItem>::shared().remove(this);
  if (pending_seek_) completeLater(std::move(pending_seek_->completion), false);
}

CMTime AVPlayerItem::currentTime() const {
  std::lock_guard lock(shared_mutex_);
  return host_clock_ ? timeAtHostTime(CACurrentMediaTime()) : current_time_;
}

CMTime AVPlayerItem::timeAtHostTime(double hostTime) const {
  float rate = timebaseRate();
  if (!CMTIME_IS_NUMERIC(current_time_) || rate == 0.0f) return current_time_;
  double ahead = (hostTime - anchor_host_) * rate;
  if (!std::isfinite(ahead)) return current_time_;
  CMTime time = CMTimeAdd(current_time_, CMTimeMakeWithSeconds(ahead, kHostTimeScale));
  if (host_clock_) {
    if (CMTIME_IS_NUMERIC(clock_end_) && CMTimeCompare(time, clock_end_) > 0) time = clock_end_;
    if (CMTimeCompare(time, kCMTimeZero) < 0) time = kCMTimeZero;
  }
  return time;
}

void AVPlayerItem::setCurrentTime(CMTime time) {
  {
    std::lock_guard lock(shared_mutex_);
    current_time_ = time;
    anchor_host_ = CACurrentMediaTime();
  }
  scheduleEnd();
}

void AVPlayerItem::setTimebaseRate(float rate) {
  {
    std::lock_guard lock(shared_mutex_);
    double now = CACurrentMediaTime();
    if (host_clock_) current_time_ = timeAtHostTime(now);
    anchor_host_ = now;
    timebase_rate_.store(rate, std::memory_order_release);
  }
  scheduleEnd();
}

CMTime AVPlayerItem::itemTimeForHostTime(double hostTimeInSeconds) const {
  std::lock_guard lock(shared_mutex_);
  if (host_clock_) return timeAtHostTime(hostTimeInSeconds);
  // The model's time stands still: a host time maps relative to now.
  double ahead = hostTimeInSeconds - CACurrentMediaTime();
  if (!std::isfinite(ahead)) return current_time_;
  return timeAtHostTime(anchor_host_ + ahead);
}

void AVPlayerItem::loadFromLibraryIfBacked() {
  if (library_load_started_ || !asset_ || asset_->backing() != AVMediaBacking::library) return;
  library_load_started_ = true;
  asset_->loadValuesAsynchronouslyForKeys({"playable", "tracks", "duration"},
                                          [weak = weak_from_this()] {
    dispatch_get_main_queue()->async([weak] {
      if (auto self = weak.lock()) self->applyLibraryLoad();
    });
  });
}

void AVPlayerItem::applyLibraryLoad() {
  if (status_ != AVPlayerItemStatusUnknown) return;
  NSError error;
  if (asset_->statusOfValueForKey("playable", &error) != AVKeyValueStatusLoaded) {
    error_ = std::move(error);
    change("status", status_, AVPlayerItemStatusFailed);
    AVPlayer::itemDidChangeState(*this);
    return;
  }
  CMTime duration = asset_->duration();
  for (const auto& track : asset_->tracksWithMediaType(AVMediaTypeVideo)) {
    presentation_size_ = track->naturalSize();
    break;
  }
  {
    std::lock_guard lock(shared_mutex_);
    current_time_ = timeAtHostTime(CACurrentMediaTime());
    anchor_host_ = CACurrentMediaTime();
    clock_end_ = duration;
    host_clock_ = true;
  }
  change("duration", duration_, duration);
  // A local file is all there as soon as it opened.
  std::vector<CMTimeRange> whole{CMTimeRangeMake(kCMTimeZero, duration)};
  change("seekableTimeRanges", seekable_ranges_, whole);
  change("loadedTimeRanges", loaded_ranges_, whole);
  change("playbackBufferEmpty", buffer_empty_, false);
  change("playbackBufferFull", buffer_full_, true);
  change("status", status_, AVPlayerItemStatusReadyToPlay);
  change("playbackLikelyToKeepUp", likely_to_keep_up_, true);
  AVPlayer::itemDidChangeState(*this);
  scheduleEnd();
}

void AVPlayerItem::scheduleEnd() {
  double remaining;
  uint64_t generation;
  {
    std::lock_guard lock(shared_mutex_);
    if (!host_clock_) return;
    generation = ++end_generation_;
    float rate = timebaseRate();
    if (rate <= 0.0f || !CMTIME_IS_NUMERIC(clock_end_)) return;
    CMTime now = timeAtHostTime(CACurrentMediaTime());
    remaining = CMTimeGetSeconds(CMTimeSubtract(clock_end_, now)) / rate;
  }
  if (!(remaining >= 0)) remaining = 0;
  remaining = std::min(remaining, 86400.0 * 365);
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(remaining * NSEC_PER_SEC)),
                 dispatch_get_main_queue(), [weak = weak_from_this(), generation] {
                   if (auto self = weak.lock()) self->reachEndIfDue(generation);
                 });
}

void AVPlayerItem::reachEndIfDue(uint64_t generation) {
  bool due;
  {
    std::lock_guard lock(shared_mutex_);
    if (generation != end_generation_) return;
    ++end_generation_;
    CMTime now = timeAtHostTime(CACurrentMediaTime());
    due = CMTIME_IS_NUMERIC(clock_end_) && CMTimeCompare(now, clock_end_) >= 0;
    if (due) {
      current_time_ = clock_end_;
      anchor_host_ = CACurrentMediaTime();
    }
  }
  if (!due) {
    scheduleEnd();  // woken early: wait for the rest
    return;
  }
  AVPlayer::itemDidPlayToEnd(*this);
}

std::optional<AVMutableVideoComposition> AVPlayerItem::videoComposition() const {
  std::lock_guard lock(shared_mutex_);
  return composition_;
}

void AVPlayerItem::setVideoComposition(std::optional<AVMutableVideoComposition> composition) {
  std::lock_guard lock(shared_mutex_);
  composition_ = std::move(composition);
}

void AVPlayerItem::addOutput(std::shared_ptr<AVPlayerItemOutput> output) {
  if (!output) return;
  if (std::find(outputs_.begin(), outputs_.end(), output) == outputs_.end()) {
    output->attachTo(weak_from_this());
    outputs_.push_back(std::move(output));
  }
}

void AVPlayerItem::removeOutput(const AVPlayerItemOutput* output) {
  std::erase_if(outputs_, [output](const auto& held) {
    if (held.get() != output) return false;
    held->attachTo({});
    return true;
  });
}

void AVPlayerItem::seekToTime(CMTime time, CMTime toleranceBefore, CMTime toleranceAfter,
                              SeekCompletion completion) {
  cancelPendingSeeks();
  uint64_t generation = ++seek_generation_;
  pending_seek_ =
      PendingSeek{time, toleranceBefore, toleranceAfter, std::move(completion), generation};
  if (seeks_held_) return;
  dispatch_get_main_queue()->async([weak = weak_from_this(), generation] {
    auto self = weak.lock();
    if (self && self->pending_seek_ && self->pending_seek_->generation == generation) {
      self->finishSeek(true);
    }
  });
}

void AVPlayerItem::seekToTime(CMTime time, SeekCompletion completion) {
  seekToTime(time, kCMTimePositiveInfinity, kCMTimePositiveInfinity, std::move(completion));
}

void AVPlayerItem::cancelPendingSeeks() {
  if (!pending_seek_) return;
  auto completion = std::move(pending_seek_->completion);
  pending_seek_.reset();
  completeLater(std::move(completion), false);
}

void AVPlayerItem::finishSeek(bool finished) {
  if (!pending_seek_) return;
  PendingSeek seek = std::move(*pending_seek_);
  pending_seek_.reset();
  if (finished) {
    CMTime target = seek.time;
    if (CMTIME_IS_NUMERIC(duration_) &&
        (CMTIME_IS_POSITIVE_INFINITY(target) || CMTimeCompare(target, duration_) > 0)) {
      target = duration_;
    }
    if (CMTIME_IS_NUMERIC(target)) setCurrentTime(CMTimeMaximum(target, kCMTimeZero));
  }
  completeLater(std::move(seek.completion), finished);
}

std::any AVPlayerItem::valueForKey(const std::string& key) const {
  if (key == "status") return status_;
  if (key == "duration") return duration_;
  if (key == "loadedTimeRanges") return loaded_ranges_;
  if (key == "seekableTimeRanges") return seekable_ranges_;
  if (key == "playbackBufferEmpty") return buffer_empty_;
  if (key == "playbackBufferFull") return buffer_full_;
  if (key == "playbackLikelyToKeepUp") return likely_to_keep_up_;
  return {};
}
