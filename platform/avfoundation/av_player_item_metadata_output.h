// An output that pushes an item's timed metadata to a delegate, on the queue it named.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_metadata_item.h"
#include "platform/avfoundation/av_player_item_output.h"
#include "platform/dispatch/dispatch_queue.h"

class AVPlayerItemMetadataOutput;
class AVPlayerItemTrack;

class AVPlayerItemMetadataOutputPushDelegate {
 public:
  virtual ~AVPlayerItemMetadataOutputPushDelegate() = default;
  // `track` may be null when the metadata belongs to no single track.
  virtual void metadataOutput(AVPlayerItemMetadataOutput& output,
                              const std::vector<AVTimedMetadataGroup>& groups,
                              const AVPlayerItemTrack* track) = 0;
};

class AVPlayerItemMetadataOutput
    : public AVPlayerItemOutput,
      public std::enable_shared_from_this<AVPlayerItemMetadataOutput> {
 public:
  // nullopt delivers metadata of every identifier.
  explicit AVPlayerItemMetadataOutput(std::optional<std::vector<std::string>> identifiers);

  // The delegate is held weakly; a null queue delivers on the delivering thread.
  void setDelegate(std::weak_ptr<AVPlayerItemMetadataOutputPushDelegate> delegate,
                   dispatch_queue_t queue);
  std::shared_ptr<AVPlayerItemMetadataOutputPushDelegate> delegate() const {
    return delegate_.lock();
  }
  const dispatch_queue_t& delegateQueue() const { return queue_; }
  const std::optional<std::vector<std::string>>& identifiers() const { return identifiers_; }

  // Hands the groups, filtered by the identifiers, to the delegate on its queue.
  void pushTimedMetadataGroups(std::vector<AVTimedMetadataGroup> groups);

 private:
  std::optional<std::vector<std::string>> identifiers_;
  std::weak_ptr<AVPlayerItemMetadataOutputPushDelegate> delegate_;
  dispatch_queue_t queue_;
};
