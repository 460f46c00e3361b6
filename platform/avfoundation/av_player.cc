#include "platform/avfoundation/av_player.h"

#include "platform/avfoundation/av_census.h"
#include "platform/avfoundation/av_player_item_notifications.h"
#include "platform/avfoundation/av_queue_player.h"
#include "platform/foundation/ns_notification_center.h"
#include "platform/dispatch/dispatch_queue.h"

AVPlayer::AVPlayer() { AVCensus<AVPlayer>::shared().add(this); }

AVPlayer::AVPlayer(std::shared_ptr<AVPlayerItem> item) : current_item_(std::move(item)) {
  AVCensus<AVPlayer>::shared().add(this);
  if (current_item_) {
    current_item_->shownByPlayer(true);
    current_item_->loadFromLibraryIfBacked();
  }
}

AVPlayer::~AVPlayer() {
  if (current_item_) current_item_->shownByPlayer(false);
  AVCensus<AVPlayer>::shared().remove(this);
}

void AVPlayer::replaceCurrentItemWithItem(std::shared_ptr<AVPlayerItem> item) {
  if (item == current_item_) return;
  if (current_item_) current_item_->cancelPendingSeeks();
  setCurrentItem(std::move(item));
}

void AVPlayer::setVolume(float volume) {
  volume_ = volume;
  if (current_item_) current_item_->setPlaybackVolume(volume);
}

void AVPlayer::setRate(float rate) {
  willChangeValueForKey("rate");
  rate_ = rate;
  didChangeValueForKey("rate");
  updateTimeControlStatus();
}

CMTime AVPlayer::currentTime() const {
  return current_item_ ? current_item_->currentTime() : kCMTimeInvalid;
}

void AVPlayer::seekToTime(CMTime time, CMTime toleranceBefore, CMTime toleranceAfter,
                          AVPlayerItem::SeekCompletion completionHandler) {
  if (current_item_) {
    current_item_->seekToTime(time, toleranceBefore, toleranceAfter, std::move(completionHandler));
  } else if (completionHandler) {
    dispatch_get_main_queue()->async([completion = std::move(completionHandler)] {
      completion(false);
    });
  }
}

void AVPlayer::setCurrentItem(std::shared_ptr<AVPlayerItem> item) {
  willChangeValueForKey("currentItem");
  if (current_item_) {
    current_item_->setTimebaseRate(0.0f);
    current_item_->shownByPlayer(false);
  }
  current_item_ = std::move(item);
  if (current_item_) {
    current_item_->shownByPlayer(true);
    current_item_->setPlaybackVolume(volume_);
    current_item_->loadFromLibraryIfBacked();
  }
  didChangeValueForKey("currentItem");
  updateTimeControlStatus();
}

void AVPlayer::updateTimeControlStatus() {
  if (rate_ == 0.0f) {
    setTimeControlStatus(AVPlayerTimeControlStatusPaused);
  } else if (current_item_ && current_item_->status() == AVPlayerItemStatusReadyToPlay &&
             !current_item_->isPlaybackBufferEmpty()) {
    setTimeControlStatus(AVPlayerTimeControlStatusPlaying);
  } else {
    setTimeControlStatus(AVPlayerTimeControlStatusWaitingToPlayAtSpecifiedRate);
  }
}

void AVPlayer::setTimeControlStatus(AVPlayerTimeControlStatus status) {
  // The item's time moves only while it plays.
  if (current_item_) {
    current_item_->setTimebaseRate(status == AVPlayerTimeControlStatusPlaying ? rate_ : 0.0f);
  }
  if (status == time_control_status_) return;
  willChangeValueForKey("timeControlStatus");
  time_control_status_ = status;
  didChangeValueForKey("timeControlStatus");
}

std::any AVPlayer::valueForKey(const std::string& key) const {
  if (key == "currentItem") return current_item_;
  if (key == "rate") return rate_;
  if (key == "timeControlStatus") return time_control_status_;
  return {};
}

void AVPlayer::itemDidChangeState(const AVPlayerItem& item) {
  for (const auto& player : AVCensus<AVPlayer>::shared().live()) {
    if (player->currentItem().get() == &item) player->updateTimeControlStatus();
  }
}

void AVPlayer::itemDidPlayToEnd(AVPlayerItem& item) {
  std::shared_ptr<AVPlayer> showing;
  for (auto& player : AVCensus<AVPlayer>::shared().live()) {
    if (player->currentItem().get() == &item) showing = std::move(player);
  }
  // Observers of the notification may set the action for the next item, not for this one.
  AVPlayerActionAtItemEnd action =
      showing ? showing->actionAtItemEnd() : AVPlayerActionAtItemEndNone;
  NSNotificationCenter::defaultCenter()->postNotificationName(
      AVPlayerItemDidPlayToEndTimeNotification,
      std::static_pointer_cast<void>(item.shared_from_this()));
  if (!showing || showing->currentItem().get() != &item) return;
  switch (action) {
    case AVPlayerActionAtItemEndAdvance:
      if (auto* queue = dynamic_cast<AVQueuePlayer*>(showing.get())) {
        queue->advanceToNextItem();
      } else {
        showing->pause();
      }
      break;
    case AVPlayerActionAtItemEndPause:
      showing->pause();
      break;
    case AVPlayerActionAtItemEndNone:
      break;
  }
}
