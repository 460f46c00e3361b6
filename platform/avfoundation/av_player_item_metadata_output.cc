#include "platform/avfoundation/av_player_item_metadata_output.h"

#include <algorithm>

AVPlayerItemMetadataOutput::AVPlayerItemMetadataOutput(
    std::optional<std::vector<std::string>> identifiers)
    : identifiers_(std::move(identifiers)) {}

void AVPlayerItemMetadataOutput::setDelegate(
    std::weak_ptr<AVPlayerItemMetadataOutputPushDelegate> delegate, dispatch_queue_t queue) {
  delegate_ = std::move(delegate);
  queue_ = std::move(queue);
}

void AVPlayerItemMetadataOutput::pushTimedMetadataGroups(std::vector<AVTimedMetadataGroup> groups) {
  if (identifiers_) {
    for (auto& group : groups) {
      std::erase_if(group.items, [this](const AVMetadataItem& item) {
        return std::find(identifiers_->begin(), identifiers_->end(), item.identifier) ==
               identifiers_->end();
      });
    }
  }
  // The output or its delegate may be gone by the time the queue runs the delivery.
  auto deliver = [self = weak_from_this(), delegate = delegate_, groups = std::move(groups)] {
    auto output = self.lock();
    auto target = delegate.lock();
    if (output && target) target->metadataOutput(*output, groups, nullptr);
  };
  if (queue_) {
    queue_->async(deliver);
  } else {
    deliver();
  }
}
