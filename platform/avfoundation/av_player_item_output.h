// The base of the outputs an item hands its media to.
#pragma once

#include <memory>

class AVPlayerItem;

class AVPlayerItemOutput {
 public:
  virtual ~AVPlayerItemOutput() = default;

 protected:
  // The item the output was added to; null before that or once the item is gone.
  std::shared_ptr<AVPlayerItem> attachedItem() const { return item_.lock(); }

 private:
  friend class AVPlayerItem;
  std::weak_ptr<AVPlayerItem> item_;
};
