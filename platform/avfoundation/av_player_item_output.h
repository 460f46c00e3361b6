// The base of the outputs an item hands its media to.
#pragma once

#include <memory>
#include <mutex>

class AVPlayerItem;

class AVPlayerItemOutput {
 public:
  virtual ~AVPlayerItemOutput() = default;

 protected:
  // Called on the main thread after the output was added to an item or removed from it.
  virtual void attachmentChanged() {}
  // The item the output was added to; null before that, once removed, or once the item is gone.
  // Outputs are read on the engine's thread while the main thread adds and removes them.
  std::shared_ptr<AVPlayerItem> attachedItem() const {
    std::lock_guard lock(item_mutex_);
    return item_.lock();
  }

 private:
  friend class AVPlayerItem;
  void attachTo(std::weak_ptr<AVPlayerItem> item) {
    {
      std::lock_guard lock(item_mutex_);
      item_ = std::move(item);
    }
    attachmentChanged();
  }

  mutable std::mutex item_mutex_;
  std::weak_ptr<AVPlayerItem> item_;
};
