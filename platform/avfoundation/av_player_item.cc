#include "platform/avfoundation/av_player_item.h"

#include <algorithm>
#include <cmath>

#include "platform/avfoundation/av_census.h"
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
  return std::make_shared<AVPlayerItem>(std::move(asset));
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
  return current_time_;
}

void AVPlayerItem::setCurrentTime(CMTime time) {
  std::lock_guard lock(shared_mutex_);
  current_time_ = time;
}

CMTime AVPlayerItem::itemTimeForHostTime(double hostTimeInSeconds) const {
  CMTime now = currentTime();
  float rate = timebaseRate();
  if (!CMTIME_IS_NUMERIC(now) || rate == 0.0f) return now;
  double ahead = (hostTimeInSeconds - CACurrentMediaTime()) * rate;
  if (!std::isfinite(ahead)) return now;
  return CMTimeAdd(now, CMTimeMakeWithSeconds(ahead, kHostTimeScale));
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
