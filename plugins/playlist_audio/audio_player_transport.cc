// Playing, pausing, the setters, seeking, and the processing state kept in step with the engine.
#include <cstdlib>

#include "platform/foundation/ns_date.h"
#include "plugins/playlist_audio/audio_player.h"
#include "plugins/playlist_audio/audio_player_exception.h"
#include "plugins/playlist_audio/media_time.h"

namespace playlist_audio {
namespace {

// Seeks to another leaf that land this close to where it already stands are skipped.
constexpr int32_t kCloseEnoughMilliseconds = 100;

template <typename T>
std::optional<T> newValueAs(const NSKeyValueChangeDictionary& change) {
  if (const auto* value = std::any_cast<T>(&change.newValue)) return *value;
  return std::nullopt;
}

}  // namespace

void AudioPlayer::play(FlutterResult result) {
  if (playing_) {
    if (result) result(flutter::ValueMap{});
    return;
  }
  if (result) {
    answerPendingPlay();
    play_result_ = std::move(result);
  }
  playing_ = true;
  if (player_) player_->setRate(speed_);
  updatePosition();
}

void AudioPlayer::pause() {
  if (!playing_) return;
  playing_ = false;
  if (player_) player_->pause();
  updatePosition();
  broadcastPlaybackEvent();
  answerPendingPlay();
}

void AudioPlayer::complete() {
  updatePosition();
  processing_state_ = ProcessingState::completed;
  broadcastPlaybackEvent();
  answerPendingPlay();
}

void AudioPlayer::setVolume(float volume) {
  volume_ = volume;
  if (player_) player_->setVolume(volume);
}

void AudioPlayer::setSpeed(float speed) {
  speed_ = speed;
  if (playing_ && player_) player_->setRate(speed);
  updatePosition();
}

void AudioPlayer::setAutomaticallyWaitsToMinimizeStalling(bool waits) {
  automatically_waits_to_minimize_stalling_ = waits;
  if (player_) player_->setAutomaticallyWaitsToMinimizeStalling(waits);
}

void AudioPlayer::setAllowsExternalPlayback(bool allows) {
  allows_external_playback_ = allows;
  if (player_) player_->setAllowsExternalPlayback(allows);
}

void AudioPlayer::setCanUseNetworkResourcesForLiveStreamingWhilePaused(bool can) {
  load_control_->setCanUseNetworkResourcesForLiveStreamingWhilePaused(can);
  for (const auto& leaf : indexed_audio_sources_) {
    leaf->applyCanUseNetworkResourcesForLiveStreamingWhilePaused();
  }
}

void AudioPlayer::setPreferredPeakBitRate(std::optional<flutter::Value> bitRate) {
  load_control_->setPreferredPeakBitRate(std::move(bitRate));
  for (const auto& leaf : indexed_audio_sources_) leaf->applyPreferredPeakBitRate();
}

void AudioPlayer::seek(CMTime position, std::optional<int64_t> index, SeekCompletion completion) {
  int count = static_cast<int>(indexed_audio_sources_.size());
  if (index && (*index < 0 || *index >= count)) {
    // Checked before anything changes: the call fails and the player stays as it was.
    throw AudioPlayerException("seek index outside the sequence");
  }
  if (processing_state_ == ProcessingState::idle || processing_state_ == ProcessingState::loading ||
      count == 0 || !player_) {
    completion(false);
    return;
  }
  int target = index ? static_cast<int>(*index) : index_;
  ++seek_generation_;
  if (target == index_) {
    if (playing_) player_->pause();
    seek_pos_ = position;
    enterBuffering();
    updatePosition();
    broadcastPlaybackEvent();
    currentLeaf()->seek(position,
                        settleWhenSeekEnds(&AudioPlayer::settleSeekOnSameLeaf, completion));
    return;
  }
  if (playing_) player_->pause();
  if (auto leaf = currentLeaf()) {
    // The leaf leaves the queue: a seek waiting for its item would wait for good.
    leaf->dropQueuedSeek();
    leaf->seek(kCMTimeZero);
  }
  seek_pos_ = position;
  updatePosition();
  enqueueFrom(target);
  auto leaf = currentLeaf();
  int32_t distance = millisecondsFromTime(CMTimeSubtract(leaf->position(), position));
  if (std::abs(static_cast<int64_t>(distance)) <= kCloseEnoughMilliseconds) {
    seek_pos_ = kCMTimeInvalid;
    resumeIfPlaying();
    broadcastPlaybackEvent();
    completion(true);
    return;
  }
  enterBuffering();
  updatePosition();
  broadcastPlaybackEvent();
  leaf->seek(position, settleWhenSeekEnds(&AudioPlayer::settleSeekOnOtherLeaf, completion));
}

AudioPlayer::SeekCompletion AudioPlayer::settleWhenSeekEnds(void (AudioPlayer::*settle)(),
                                                            SeekCompletion completion) {
  return [weak = weak_from_this(), settle, completion = std::move(completion),
          generation = seek_generation_](bool finished) {
    auto self = weak.lock();
    if (self && self->player_ && generation == self->seek_generation_) {
      ((*self).*settle)();
      self->seek_pos_ = kCMTimeInvalid;
      self->broadcastPlaybackEvent();
    }
    completion(finished);
  };
}

void AudioPlayer::settleSeekOnSameLeaf() {
  updatePosition();
  if (playing_) {
    player_->setRate(speed_);
    return;
  }
  followBufferOf(player_->currentItem().get());
  updatePosition();
  if (processing_state_ != ProcessingState::buffering) broadcastPlaybackEvent();
}

void AudioPlayer::settleSeekOnOtherLeaf() {
  const auto& current = player_->currentItem();
  auto leaf = currentLeaf();
  if (!playing_ && (!buffer_unconfirmed_ || (current && current->isPlaybackBufferFull())) && leaf &&
      leaf->playerItem() && leaf->playerItem()->status() == AVPlayerItemStatusReadyToPlay) {
    leaveBuffering();
    updatePosition();
    broadcastPlaybackEvent();
  }
  resumeIfPlaying();
}

void AudioPlayer::resumeIfPlaying() {
  if (playing_ && player_) player_->setRate(speed_);
}

void AudioPlayer::enterBuffering() {
  if (processing_state_ != ProcessingState::idle) processing_state_ = ProcessingState::buffering;
}

void AudioPlayer::leaveBuffering() {
  if (processing_state_ == ProcessingState::loading ||
      processing_state_ == ProcessingState::buffering) {
    processing_state_ = ProcessingState::ready;
  }
}

void AudioPlayer::followBufferOf(const AVPlayerItem* item) {
  if (item != nullptr && item->isPlaybackBufferEmpty()) {
    enterBuffering();
  } else {
    leaveBuffering();
  }
}

void AudioPlayer::updatePosition() {
  update_position_ = getCurrentPosition();
  update_time_ = static_cast<int64_t>(NSDate().timeIntervalSince1970() * 1000.0);
}

void AudioPlayer::observeValueForKeyPath(const std::string& keyPath, NSKeyValueObservable& object,
                                         const NSKeyValueChangeDictionary& change,
                                         void* /*context*/) {
  if (keyPath == "status") {
    if (auto* item = dynamic_cast<AVPlayerItem*>(&object)) onItemStatusChanged(*item, change);
  } else if (keyPath == "playbackBufferEmpty" || keyPath == "playbackBufferFull") {
    if (auto* item = dynamic_cast<AVPlayerItem*>(&object)) onItemBufferChanged(*item);
  } else if (keyPath == "timeControlStatus") {
    onTimeControlStatusChanged(change);
  } else if (keyPath == "currentItem") {
    auto item = newValueAs<std::shared_ptr<AVPlayerItem>>(change);
    if (item && *item) currentItemChanged(*item);
  } else if (keyPath == "loadedTimeRanges") {
    if (auto* item = dynamic_cast<AVPlayerItem*>(&object)) onLoadedTimeRangesChanged(*item);
  }
}

void AudioPlayer::onItemStatusChanged(AVPlayerItem& item,
                                      const NSKeyValueChangeDictionary& change) {
  auto status = newValueAs<AVPlayerItemStatus>(change).value_or(AVPlayerItemStatusUnknown);
  // Keep the item alive through the leaf's queued seek and the answers below.
  auto held = item.shared_from_this();
  if (auto indexed = std::dynamic_pointer_cast<IndexedPlayerItem>(held)) {
    if (auto leaf = indexed->audioSource()) leaf->onStatusChanged(status);
  }
  if (!isCurrentItem(item)) return;
  if (status == AVPlayerItemStatusFailed) {
    sendErrorForItem(held);
    return;
  }
  if (status != AVPlayerItemStatusReadyToPlay) return;
  if (playing_) {
    if (player_->timeControlStatus() == AVPlayerTimeControlStatusWaitingToPlayAtSpecifiedRate) {
      enterBuffering();
    } else {
      leaveBuffering();
    }
  } else {
    followBufferOf(&item);
  }
  updatePosition();
  broadcastPlaybackEvent();
  answerPendingLoad();
}

void AudioPlayer::onItemBufferChanged(AVPlayerItem& item) {
  if (!isCurrentItem(item) || CMTIME_IS_VALID(seek_pos_) || playing_) return;
  followBufferOf(&item);
  updatePosition();
  broadcastPlaybackEvent();
}

void AudioPlayer::onTimeControlStatusChanged(const NSKeyValueChangeDictionary& change) {
  auto status = newValueAs<AVPlayerTimeControlStatus>(change);
  if (!status) return;
  if (*status == AVPlayerTimeControlStatusPlaying) {
    leaveBuffering();
  } else if (*status == AVPlayerTimeControlStatusWaitingToPlayAtSpecifiedRate) {
    if (processing_state_ != ProcessingState::completed) enterBuffering();
  } else {
    return;
  }
  updatePosition();
  broadcastPlaybackEvent();
}

void AudioPlayer::onLoadedTimeRangesChanged(AVPlayerItem& item) {
  if (!isCurrentItem(item)) return;
  int32_t buffered = getBufferedPosition();
  if (buffered == buffered_position_) return;
  buffered_position_ = buffered;
  broadcastPlaybackEvent();
}

}  // namespace playlist_audio
