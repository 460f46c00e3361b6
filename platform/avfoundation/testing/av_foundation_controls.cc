#include "platform/avfoundation/testing/av_foundation_controls.h"

#include "platform/avfoundation/av_census.h"
#include "platform/avfoundation/av_player_census.h"
#include "platform/avfoundation/internal/library_access.h"
#include "platform/avfoundation/internal/media_audio_sink.h"
#include "platform/foundation/ns_notification_center.h"

// Reaches the private state of items and players for the controls.
struct AVPlayerItemModel {
  template <typename T>
  static void change(AVPlayerItem& item, const char* key, T AVPlayerItem::*field, T value) {
    item.change(key, item.*field, std::move(value));
  }
  static void setStatus(AVPlayerItem& item, AVPlayerItemStatus status) {
    change(item, "status", &AVPlayerItem::status_, status);
  }
  static void setError(AVPlayerItem& item, NSError error) { item.error_ = std::move(error); }
  static void setDuration(AVPlayerItem& item, CMTime duration) {
    change(item, "duration", &AVPlayerItem::duration_, duration);
  }
  static void setCurrentTime(AVPlayerItem& item, CMTime time) { item.setCurrentTime(time); }
  static void setSeekable(AVPlayerItem& item, std::vector<CMTimeRange> ranges) {
    change(item, "seekableTimeRanges", &AVPlayerItem::seekable_ranges_, std::move(ranges));
  }
  static void setLoaded(AVPlayerItem& item, std::vector<CMTimeRange> ranges) {
    change(item, "loadedTimeRanges", &AVPlayerItem::loaded_ranges_, std::move(ranges));
  }
  static void setBufferEmpty(AVPlayerItem& item, bool empty) {
    change(item, "playbackBufferEmpty", &AVPlayerItem::buffer_empty_, empty);
  }
  static void setBufferFull(AVPlayerItem& item, bool full) {
    change(item, "playbackBufferFull", &AVPlayerItem::buffer_full_, full);
  }
  static void setLikelyToKeepUp(AVPlayerItem& item, bool likely) {
    change(item, "playbackLikelyToKeepUp", &AVPlayerItem::likely_to_keep_up_, likely);
  }
  static void setCapabilities(AVPlayerItem& item, bool fast, bool slow) {
    item.can_play_fast_forward_ = fast;
    item.can_play_slow_forward_ = slow;
  }
  static void setPresentationSize(AVPlayerItem& item, CGSize size) {
    item.presentation_size_ = size;
  }
  static void setSeeksHeld(bool held) { AVPlayerItem::seeks_held_ = held; }
  static const std::optional<AVPlayerItem::PendingSeek>& pendingSeek(const AVPlayerItem& item) {
    return item.pending_seek_;
  }
  static void finishSeek(AVPlayerItem& item, bool finished) { item.finishSeek(finished); }
};

struct AVPlayerModel {
  static void updateTimeControlStatus(AVPlayer& player) { player.updateTimeControlStatus(); }
  static void setTimeControlStatus(AVPlayer& player, AVPlayerTimeControlStatus status) {
    player.setTimeControlStatus(status);
  }
};

namespace avfoundation::testing {

bool modelChosenForControls();
namespace {
// Linking these controls means tests drive the media: the model backs new assets.
[[maybe_unused]] const bool kModelChosen = modelChosenForControls();
}  // namespace
namespace {

// Players showing `item` re-derive their time-control status after it changed.
void refreshPlayersShowing(const AVPlayerItem& item) {
  for (const auto& player : players()) {
    if (player->currentItem().get() == &item) AVPlayerModel::updateTimeControlStatus(*player);
  }
}

std::shared_ptr<void> notificationObject(AVPlayerItem& item) {
  return std::static_pointer_cast<void>(item.shared_from_this());
}

}  // namespace

std::vector<std::shared_ptr<AVQueuePlayer>> queuePlayers() {
  return AVPlayerCensus::shared().players();
}

std::vector<std::shared_ptr<AVPlayer>> players() { return AVCensus<AVPlayer>::shared().live(); }

std::vector<std::shared_ptr<AVPlayerItem>> playerItems() {
  return AVCensus<AVPlayerItem>::shared().live();
}

void makeItemReady(AVPlayerItem& item, std::optional<CMTime> duration) {
  if (duration) AVPlayerItemModel::setDuration(item, *duration);
  AVPlayerItemModel::setStatus(item, AVPlayerItemStatusReadyToPlay);
  refreshPlayersShowing(item);
}

void failItem(AVPlayerItem& item, const NSError& error) {
  AVPlayerItemModel::setError(item, error);
  AVPlayerItemModel::setStatus(item, AVPlayerItemStatusFailed);
  refreshPlayersShowing(item);
}

void setDuration(AVPlayerItem& item, CMTime duration) {
  AVPlayerItemModel::setDuration(item, duration);
}

void setCurrentTime(AVPlayerItem& item, CMTime time) {
  AVPlayerItemModel::setCurrentTime(item, time);
}

void setSeekableTimeRanges(AVPlayerItem& item, std::vector<CMTimeRange> ranges) {
  AVPlayerItemModel::setSeekable(item, std::move(ranges));
}

void setLoadedTimeRanges(AVPlayerItem& item, std::vector<CMTimeRange> ranges) {
  AVPlayerItemModel::setLoaded(item, std::move(ranges));
}

void setPlaybackBufferEmpty(AVPlayerItem& item, bool empty) {
  AVPlayerItemModel::setBufferEmpty(item, empty);
  refreshPlayersShowing(item);
}

void setPlaybackBufferFull(AVPlayerItem& item, bool full) {
  AVPlayerItemModel::setBufferFull(item, full);
}

void setPlaybackLikelyToKeepUp(AVPlayerItem& item, bool likely) {
  AVPlayerItemModel::setLikelyToKeepUp(item, likely);
}

void setPlaybackCapabilities(AVPlayerItem& item, bool canPlayFastForward, bool canPlaySlowForward) {
  AVPlayerItemModel::setCapabilities(item, canPlayFastForward, canPlaySlowForward);
}

void setPresentationSize(AVPlayerItem& item, CGSize size) {
  AVPlayerItemModel::setPresentationSize(item, size);
}

void setSeeksHeld(bool held) { AVPlayerItemModel::setSeeksHeld(held); }

bool hasPendingSeek(const AVPlayerItem& item) {
  return AVPlayerItemModel::pendingSeek(item).has_value();
}

std::optional<CMTime> pendingSeekTime(const AVPlayerItem& item) {
  const auto& seek = AVPlayerItemModel::pendingSeek(item);
  return seek ? std::optional<CMTime>(seek->time) : std::nullopt;
}

std::optional<SeekRequest> pendingSeek(const AVPlayerItem& item) {
  const auto& seek = AVPlayerItemModel::pendingSeek(item);
  if (!seek) return std::nullopt;
  return SeekRequest{seek->time, seek->toleranceBefore, seek->toleranceAfter};
}

bool completePendingSeek(AVPlayerItem& item, bool finished) {
  if (!hasPendingSeek(item)) return false;
  AVPlayerItemModel::finishSeek(item, finished);
  return true;
}

void finishCurrentItem(AVQueuePlayer& player) {
  auto item = player.currentItem();
  if (!item) return;
  if (CMTIME_IS_NUMERIC(item->duration()))
    AVPlayerItemModel::setCurrentTime(*item, item->duration());
  // The player acts on the end action in force when the item ended; observers of the end
  // notification set the action for the next item, not for this one.
  AVPlayerActionAtItemEnd action = player.actionAtItemEnd();
  NSNotificationCenter::defaultCenter()->postNotificationName(
      AVPlayerItemDidPlayToEndTimeNotification, notificationObject(*item));
  switch (action) {
    case AVPlayerActionAtItemEndAdvance:
      if (player.currentItem() == item) player.advanceToNextItem();
      break;
    case AVPlayerActionAtItemEndPause:
      player.pause();
      break;
    case AVPlayerActionAtItemEndNone:
      break;
  }
}

void failCurrentItemToPlayToEnd(AVQueuePlayer& player, const NSError& error) {
  auto item = player.currentItem();
  if (!item) return;
  NSNotificationCenter::defaultCenter()->postNotificationName(
      AVPlayerItemFailedToPlayToEndTimeNotification, notificationObject(*item),
      {{AVPlayerItemFailedToPlayToEndTimeErrorKey, error}});
}

void stallCurrentItem(AVQueuePlayer& player) {
  auto item = player.currentItem();
  if (!item) return;
  setPlaybackBufferEmpty(*item, true);
  NSNotificationCenter::defaultCenter()->postNotificationName(
      AVPlayerItemPlaybackStalledNotification, notificationObject(*item));
}

void setTimeControlStatus(AVPlayer& player, AVPlayerTimeControlStatus status) {
  AVPlayerModel::setTimeControlStatus(player, status);
}

int64_t audioFramesPlayed(const AVPlayerItem& item) {
  auto sink = internal::LibraryAccess::audioSink(item);
  return sink ? sink->framesConsumed() : 0;
}

float audioLastPeak(const AVPlayerItem& item) {
  auto sink = internal::LibraryAccess::audioSink(item);
  return sink ? sink->lastPeak() : 0;
}

void deliverTimedMetadata(AVPlayerItem& item, const std::vector<AVTimedMetadataGroup>& groups) {
  for (const auto& output : item.outputs()) {
    if (auto metadata = std::dynamic_pointer_cast<AVPlayerItemMetadataOutput>(output)) {
      metadata->pushTimedMetadataGroups(groups);
    }
  }
}

}  // namespace avfoundation::testing
