#include "platform/avfoundation/av_player_item.h"

#include <algorithm>
#include <cmath>

#include "platform/avfoundation/av_census.h"
#include "platform/avfoundation/av_player.h"
#include "platform/avfoundation/internal/item_clock.h"
#include "platform/avfoundation/internal/library_access.h"
#include "platform/avfoundation/internal/media_audio_sink.h"
#include "platform/dispatch/dispatch_time.h"
#include "platform/dispatch/dispatch_queue.h"
#include "platform/quartzcore/ca_media_timing.h"

namespace {

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

AVPlayerItem::AVPlayerItem(std::shared_ptr<AVURLAsset> asset)
    : asset_(std::move(asset)), clock_(std::make_shared<avfoundation::internal::ItemClock>()) {
  AVCensus<AVPlayerItem>::shared().add(this);
}

AVPlayerItem::~AVPlayerItem() {
  clock_->markGone();
  // The sink ends on its own queue: never wait here for a decode in progress.
  if (audio_sink_) avfoundation::internal::MediaAudioSink::stop(std::move(audio_sink_));
  AVCensus<AVPlayerItem>::shared().remove(this);
  if (pending_seek_) completeLater(std::move(pending_seek_->completion), false);
}

CMTime AVPlayerItem::currentTime() const { return clock_->currentTime(); }

float AVPlayerItem::timebaseRate() const { return clock_->rate(); }

void AVPlayerItem::setPlaybackVolume(float volume) { clock_->setVolume(volume); }

void AVPlayerItem::setCurrentTime(CMTime time) {
  clock_->moveTo(time);
  scheduleEnd();
}

void AVPlayerItem::setTimebaseRate(float rate) {
  // The same rate again changes nothing: an item at its end does not end again.
  if (clock_->setRate(rate)) scheduleEnd();
}

CMTime AVPlayerItem::itemTimeForHostTime(double hostTimeInSeconds) const {
  return clock_->itemTimeForHostTime(hostTimeInSeconds);
}

void AVPlayerItem::loadFromLibraryIfBacked() {
  if (library_load_started_ || !asset_ ||
      !avfoundation::internal::LibraryAccess::isLibraryBacked(*asset_)) {
    return;
  }
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
  // Outputs added while the file was not yet open start decoding once it is; those added when
  // the item turns ready (as observers of its status do) start by themselves.
  auto waitingOutputs = outputs_;
  NSError error;
  if (asset_->statusOfValueForKey("playable", &error) != AVKeyValueStatusLoaded) {
    error_ = std::move(error);
    change("status", status_, AVPlayerItemStatusFailed);
    AVPlayer::itemDidChangeState(*this);
    return;
  }
  // Indefinite for a file that does not tell its length: it plays to the end its decoders find.
  CMTime duration = asset_->duration();
  for (const auto& track : asset_->tracksWithMediaType(AVMediaTypeVideo)) {
    presentation_size_ = track->naturalSize();
    break;
  }
  // With no stream to play (a file played for its sound that has none) no decoder will find an
  // end: the item ends where it stands, whatever its header declares.
  clock_->runOnHostClock(asset_->tracks().empty() ? clock_->currentTime() : duration);
  clock_->setOnEndLearned([weak = weak_from_this()] {
    dispatch_get_main_queue()->async([weak] {
      if (auto self = weak.lock()) self->scheduleEnd();
    });
  });
  change("duration", duration_, duration);
  // A local file is all there as soon as it opened; one of unknown length has no known range.
  std::vector<CMTimeRange> whole;
  if (CMTIME_IS_NUMERIC(duration)) whole.push_back(CMTimeRangeMake(kCMTimeZero, duration));
  change("seekableTimeRanges", seekable_ranges_, whole);
  change("loadedTimeRanges", loaded_ranges_, whole);
  change("playbackBufferEmpty", buffer_empty_, false);
  change("playbackBufferFull", buffer_full_, true);
  change("status", status_, AVPlayerItemStatusReadyToPlay);
  change("playbackLikelyToKeepUp", likely_to_keep_up_, true);
  AVPlayer::itemDidChangeState(*this);
  updateAudioSink();
  for (const auto& output : waitingOutputs) output->attachmentChanged();
  scheduleEnd();
}

void AVPlayerItem::setForwardPlaybackEndTime(CMTime time) {
  forward_end_ = time;
  scheduleEnd();
}

CMTime AVPlayerItem::playbackEnd() const {
  CMTime end = clock_->end();
  if (!CMTIME_IS_NUMERIC(forward_end_)) return end;
  return CMTIME_IS_NUMERIC(end) ? CMTimeMinimum(end, forward_end_) : forward_end_;
}

void AVPlayerItem::shownByPlayer(bool shown) {
  shown_by_players_ += shown ? 1 : -1;
  updateAudioSink();
}

void AVPlayerItem::updateAudioSink() {
  using avfoundation::internal::MediaAudioSink;
  if (shown_by_players_ <= 0 || status_ != AVPlayerItemStatusReadyToPlay) {
    // The sink ends on its own queue: never wait here for a decode in progress.
    if (audio_sink_) MediaAudioSink::stop(std::move(audio_sink_));
    return;
  }
  if (audio_sink_ || !asset_ || !avfoundation::internal::LibraryAccess::isLibraryBacked(*asset_) ||
      asset_->tracksWithMediaType(AVMediaTypeAudio).empty()) {
    return;
  }
  auto file = avfoundation::internal::LibraryAccess::file(*asset_);
  // The sink follows the clock, never the item: it must not become its last owner.
  if (file) audio_sink_ = MediaAudioSink::start(std::move(file), clock_);
}

void AVPlayerItem::scheduleEnd() {
  if (!clock_->runsOnHostClock()) return;
  uint64_t generation = ++end_generation_;
  float rate = clock_->rate();
  CMTime end = playbackEnd();
  if (rate <= 0.0f || !CMTIME_IS_NUMERIC(end)) return;
  double remaining = CMTimeGetSeconds(CMTimeSubtract(end, clock_->currentTime())) / rate;
  bool alreadyPast = !(remaining > 0);
  if (alreadyPast) remaining = 0;
  remaining = std::min(remaining, 86400.0 * 365);
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(remaining * NSEC_PER_SEC)),
                 dispatch_get_main_queue(), [weak = weak_from_this(), generation, alreadyPast] {
                   if (auto self = weak.lock()) self->reachEndIfDue(generation, alreadyPast);
                 });
}

void AVPlayerItem::reachEndIfDue(uint64_t generation, bool alreadyPast) {
  if (generation != end_generation_) return;
  CMTime end = playbackEnd();
  CMTime now = clock_->currentTime();
  if (!CMTIME_IS_NUMERIC(end) || CMTimeCompare(now, end) < 0) {
    scheduleEnd();  // woken early: wait for the rest
    return;
  }
  ++end_generation_;
  // A time put past a forward end before it ran (a seek there) stays where it was put.
  clock_->settleAt(alreadyPast ? now : end);
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
