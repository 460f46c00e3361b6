// A player with a queue of items: the first is the current item; at an item's end the player
// advances to the next one when its action at item end is advance.
#pragma once

#include <memory>
#include <vector>

#include "platform/avfoundation/av_player.h"

class AVQueuePlayer : public AVPlayer {
 public:
  static std::shared_ptr<AVQueuePlayer> queuePlayerWithItems(
      std::vector<std::shared_ptr<AVPlayerItem>> items);
  // initWithItems: an item listed twice is queued once.
  explicit AVQueuePlayer(std::vector<std::shared_ptr<AVPlayerItem>> items = {});
  ~AVQueuePlayer() override;

  const std::vector<std::shared_ptr<AVPlayerItem>>& items() const { return items_; }
  // False for a null item, an item already queued, or an `afterItem` that is not queued.
  bool canInsertItem(const std::shared_ptr<AVPlayerItem>& item,
                     const std::shared_ptr<AVPlayerItem>& afterItem) const;
  // Inserts after `afterItem`, or at the end when it is null; does nothing when it cannot.
  void insertItem(std::shared_ptr<AVPlayerItem> item, const std::shared_ptr<AVPlayerItem>& afterItem);
  // Removing the current item makes the next one current. A removed item's seeks are cancelled.
  void removeItem(const std::shared_ptr<AVPlayerItem>& item);
  void removeAllItems();
  void advanceToNextItem();

  void replaceCurrentItemWithItem(std::shared_ptr<AVPlayerItem> item) override;

 private:
  void currentItemMayHaveChanged();

  std::vector<std::shared_ptr<AVPlayerItem>> items_;
};
