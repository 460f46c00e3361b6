#include "platform/avfoundation/av_player_item_video_output.h"

#include "platform/avfoundation/av_player_item.h"
#include "platform/avfoundation/internal/item_clock.h"
#include "platform/avfoundation/internal/library_access.h"
#include "platform/avfoundation/internal/media_video_feed.h"
#include "platform/avfoundation/internal/video_frame_queue.h"

using avfoundation::internal::LibraryAccess;
using avfoundation::internal::MediaVideoFeed;

AVPlayerItemVideoOutput::AVPlayerItemVideoOutput(AVOutputSettings outputSettings)
    : settings_(std::move(outputSettings)),
      frames_(std::make_shared<avfoundation::internal::VideoFrameQueue>()) {}

AVPlayerItemVideoOutput::~AVPlayerItemVideoOutput() { stopDecoding(); }

CMTime AVPlayerItemVideoOutput::itemTimeForHostTime(double hostTimeInSeconds) const {
  auto item = attachedItem();
  return item ? item->itemTimeForHostTime(hostTimeInSeconds) : kCMTimeInvalid;
}

uint64_t AVPlayerItemVideoOutput::itemMoves() const {
  auto item = attachedItem();
  return item ? LibraryAccess::clock(*item)->moves() : 0;
}

bool AVPlayerItemVideoOutput::hasNewPixelBufferForItemTime(CMTime itemTime) const {
  return frames_->hasNewFrameFor(itemTime, itemMoves());
}

CVPixelBufferRef AVPlayerItemVideoOutput::copyPixelBufferForItemTime(CMTime itemTime,
                                                                     CMTime* itemTimeForDisplay) {
  return frames_->takeFrameFor(itemTime, itemMoves(), itemTimeForDisplay);
}

void AVPlayerItemVideoOutput::stopDecoding() {
  std::shared_ptr<MediaVideoFeed> feed;
  {
    std::lock_guard lock(feed_mutex_);
    feed = std::move(feed_);
  }
  frames_->setOnFrameTaken(nullptr);
  // Never waits for a decode in progress: the feed ends on its own queue.
  MediaVideoFeed::stop(std::move(feed));
}

void AVPlayerItemVideoOutput::attachmentChanged() {
  stopDecoding();
  frames_->clear();
  auto item = attachedItem();
  auto file = item && item->asset() ? LibraryAccess::file(*item->asset()) : nullptr;
  if (!file) return;
  // The feed follows the item's clock, never the item: it must not become its last owner.
  auto feed = MediaVideoFeed::start(std::move(file), LibraryAccess::clock(*item), frames_);
  std::lock_guard lock(feed_mutex_);
  feed_ = std::move(feed);
}
