#include "platform/avfoundation/av_queue_player.h"

#include <algorithm>

#include "platform/avfoundation/av_player_census.h"

std::shared_ptr<AVQueuePlayer> AVQueuePlayer::queuePlayerWithItems(
    std::vector<std::shared_ptr<AVPlayerItem>> items) {
  return std::make_shared<AVQueuePlayer>(std::move(items));
}

AVQueuePlayer::AVQueuePlayer(std::vector<std::shared_ptr<AVPlayerItem>> items) {
  for (auto& item : items) {
    if (canInsertItem(item, nullptr)) items_.push_back(std::move(item));
  }
  if (!items_.empty()) setCurrentItem(items_.front());
  AVPlayerCensus::shared().add(this);
}

AVQueuePlayer::~AVQueuePlayer() { AVPlayerCensus::shared().remove(this); }

bool AVQueuePlayer::canInsertItem(const std::shared_ptr<AVPlayerItem>& item,
                                  const std::shared_ptr<AVPlayerItem>& afterItem) const {
  if (!item || std::find(items_.begin(), items_.end(), item) != items_.end()) return false;
  return !afterItem || std::find(items_.begin(), items_.end(), afterItem) != items_.end();
}

void AVQueuePlayer::insertItem(std::shared_ptr<AVPlayerItem> item,
                               const std::shared_ptr<AVPlayerItem>& afterItem) {
  if (!canInsertItem(item, afterItem)) return;
  auto position = afterItem ? std::next(std::find(items_.begin(), items_.end(), afterItem))
                            : items_.end();
  items_.insert(position, std::move(item));
  currentItemMayHaveChanged();
}

void AVQueuePlayer::removeItem(const std::shared_ptr<AVPlayerItem>& item) {
  auto found = std::find(items_.begin(), items_.end(), item);
  if (found == items_.end()) return;
  auto removed = *found;
  items_.erase(found);
  removed->cancelPendingSeeks();
  currentItemMayHaveChanged();
}

void AVQueuePlayer::removeAllItems() {
  auto removed = std::move(items_);
  items_.clear();
  for (const auto& item : removed) item->cancelPendingSeeks();
  currentItemMayHaveChanged();
}

void AVQueuePlayer::advanceToNextItem() {
  if (!items_.empty()) removeItem(items_.front());
}

void AVQueuePlayer::replaceCurrentItemWithItem(std::shared_ptr<AVPlayerItem> item) {
  if (!items_.empty()) {
    items_.front()->cancelPendingSeeks();
    items_.erase(items_.begin());
  }
  if (item && std::find(items_.begin(), items_.end(), item) == items_.end()) {
    items_.insert(items_.begin(), std::move(item));
  }
  currentItemMayHaveChanged();
}

void AVQueuePlayer::currentItemMayHaveChanged() {
  std::shared_ptr<AVPlayerItem> front = items_.empty() ? nullptr : items_.front();
  if (front != currentItem()) setCurrentItem(std::move(front));
}
