#include "plugins/playlist_audio/clipping_audio_source.h"

namespace playlist_audio {

ClippingAudioSource::ClippingAudioSource(std::string sourceId,
                                         std::shared_ptr<UriAudioSource> audioSource, CMTime start,
                                         CMTime end)
    : IndexedAudioSource(std::move(sourceId)),
      audio_source_(std::move(audioSource)),
      // A negative start is the child's start; an end before the start leaves nothing to play.
      start_(CMTIME_IS_NUMERIC(start) ? CMTimeMaximum(start, kCMTimeZero) : kCMTimeZero),
      end_(CMTIME_IS_NUMERIC(end) ? CMTimeMaximum(end, start_) : end) {}

void ClippingAudioSource::findById(const std::string& sourceId,
                                   std::vector<std::shared_ptr<AudioSource>>& matches) {
  AudioSource::findById(sourceId, matches);
  audio_source_->findById(sourceId, matches);
}

void ClippingAudioSource::attach(AVQueuePlayer& player, CMTime initialPos) {
  if (CMTIME_IS_INVALID(initialPos)) initialPos = kCMTimeZero;
  if (auto item = playerItem()) item->setForwardPlaybackEndTime(end_);
  // A reload with new bounds reuses the child's second item: it takes the new window too.
  if (auto second = playerItem2()) {
    second->setForwardPlaybackEndTime(end_);
    second->seekToTime(start_, kCMTimeZero, kCMTimeZero, nullptr);
  }
  IndexedAudioSource::attach(player, initialPos);
}

CMTime ClippingAudioSource::timeInChild(CMTime position) const {
  if (CMTIME_IS_POSITIVE_INFINITY(position)) return CMTIME_IS_VALID(end_) ? end_ : position;
  CMTime time = CMTimeMaximum(CMTimeAdd(start_, position), start_);
  return CMTIME_IS_VALID(end_) ? CMTimeMinimum(time, end_) : time;
}

void ClippingAudioSource::seek(CMTime position, SeekCompletion completion) {
  if (queueSeekUntilReady(position, completion)) return;
  auto item = playerItem();
  if (!item) {
    if (completion) completion(false);
    return;
  }
  item->seekToTime(timeInChild(position), kCMTimeZero, kCMTimeZero, std::move(completion));
}

void ClippingAudioSource::preparePlayerItem2() {
  if (playerItem2()) return;
  audio_source_->preparePlayerItem2();
  if (auto second = playerItem2()) {
    second->setForwardPlaybackEndTime(end_);
    second->seekToTime(start_, kCMTimeZero, kCMTimeZero, nullptr);
  }
}

CMTime ClippingAudioSource::duration() const {
  auto item = playerItem();
  CMTime childEnd = item ? item->duration() : kCMTimeZero;
  CMTime end = CMTIME_IS_VALID(end_) ? end_ : childEnd;
  // Past the child's end there is nothing to play: the clip lasts what can be played of it.
  if (CMTIME_IS_VALID(end_) && CMTIME_IS_NUMERIC(childEnd) && CMTimeCompare(childEnd, kCMTimeZero) > 0) {
    end = CMTimeMinimum(end, childEnd);
  }
  if (!CMTIME_IS_NUMERIC(end)) return end;
  return CMTimeMaximum(CMTimeSubtract(end, start_), kCMTimeZero);
}

CMTime ClippingAudioSource::position() const {
  auto item = playerItem();
  CMTime position =
      CMTimeMaximum(CMTimeSubtract(item ? item->currentTime() : kCMTimeZero, start_), kCMTimeZero);
  CMTime length = duration();
  return CMTIME_IS_NUMERIC(length) ? CMTimeMinimum(position, length) : position;
}

CMTime ClippingAudioSource::bufferedPosition() const {
  return CMTimeMaximum(
      CMTimeMinimum(CMTimeSubtract(audio_source_->bufferedPosition(), start_), duration()),
      kCMTimeZero);
}

}  // namespace playlist_audio
