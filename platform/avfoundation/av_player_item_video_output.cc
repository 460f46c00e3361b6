#include "platform/avfoundation/av_player_item_video_output.h"

#include <algorithm>

#include "platform/avfoundation/av_player_item.h"
#include "platform/avfoundation/internal/media_video_feed.h"

CMTime AVPlayerItemVideoOutput::itemTimeForHostTime(double hostTimeInSeconds) const {
  auto item = attachedItem();
  return item ? item->itemTimeForHostTime(hostTimeInSeconds) : kCMTimeInvalid;
}

const AVPlayerItemVideoOutput::Frame* AVPlayerItemVideoOutput::frameFor(CMTime itemTime) const {
  if (!CMTIME_IS_NUMERIC(itemTime)) return nullptr;
  const Frame* latest = nullptr;
  for (const auto& frame : frames_) {
    if (CMTimeCompare(frame.time, itemTime) <= 0 &&
        (latest == nullptr || CMTimeCompare(frame.time, latest->time) >= 0)) {
      latest = &frame;
    }
  }
  return latest;
}

bool AVPlayerItemVideoOutput::hasNewPixelBufferForItemTime(CMTime itemTime) const {
  std::lock_guard lock(mutex_);
  const Frame* frame = frameFor(itemTime);
  return frame != nullptr && frame->serial != handed_out_serial_;
}

CVPixelBufferRef AVPlayerItemVideoOutput::copyPixelBufferForItemTime(CMTime itemTime,
                                                                     CMTime* itemTimeForDisplay) {
  Frame chosen;
  {
    std::lock_guard lock(mutex_);
    const Frame* frame = frameFor(itemTime);
    if (frame == nullptr) return nullptr;
    chosen = *frame;
    handed_out_serial_ = chosen.serial;
    std::erase_if(frames_, [&](const Frame& other) {
      return other.serial != chosen.serial && CMTimeCompare(other.time, chosen.time) <= 0;
    });
  }
  if (itemTimeForDisplay != nullptr) *itemTimeForDisplay = chosen.time;
  {
    // Room was made: the decoder may go on.
    std::lock_guard lock(feed_mutex_);
    if (feed_) feed_->wake();
  }
  return chosen.buffer;
}

AVPlayerItemVideoOutput::AVPlayerItemVideoOutput(AVOutputSettings outputSettings)
    : settings_(std::move(outputSettings)) {}

AVPlayerItemVideoOutput::~AVPlayerItemVideoOutput() {
  // The feed's thread delivers into this output: it ends first.
  std::lock_guard lock(feed_mutex_);
  feed_.reset();
}

void AVPlayerItemVideoOutput::attachmentChanged() {
  std::unique_ptr<avfoundation::internal::MediaVideoFeed> previous;
  auto item = attachedItem();
  std::string path = item && item->asset() ? item->asset()->libraryFilePath() : std::string();
  {
    std::lock_guard lock(feed_mutex_);
    previous = std::move(feed_);
  }
  previous.reset();
  discardFrames();
  if (path.empty()) return;
  // The feed follows the item's clock, never the item: it must not become its last owner.
  avfoundation::internal::VideoFeedSink sink{
      [clock = item->clock()]() -> std::optional<double> {
        if (clock->gone()) return std::nullopt;
        return CMTimeGetSeconds(clock->currentTime());
      },
      [this](double itemTime) { return framesAfter(CMTimeMakeWithSeconds(itemTime, 1000000000)); },
      [this, clock = item->clock()](CMTime time, CVPixelBufferRef frame) {
        deliverDecodedFrame(time, std::move(frame), clock->currentTime());
      },
      [this] { discardFrames(); }};
  auto feed = std::make_unique<avfoundation::internal::MediaVideoFeed>(path, std::move(sink));
  std::lock_guard lock(feed_mutex_);
  feed_ = std::move(feed);
}

void AVPlayerItemVideoOutput::deliverDecodedFrame(CMTime time, CVPixelBufferRef buffer,
                                                  CMTime itemTime) {
  std::lock_guard lock(mutex_);
  frames_.push_back(Frame{time, std::move(buffer), next_serial_++});
  // Frames before the one to show now are never shown: an output that nobody copies from holds a
  // few frames, not every frame of the file.
  if (const Frame* current = frameFor(itemTime)) {
    const CMTime shown = current->time;
    std::erase_if(frames_, [&](const Frame& frame) { return CMTimeCompare(frame.time, shown) < 0; });
  }
}

int AVPlayerItemVideoOutput::framesAfter(CMTime itemTime) const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (const auto& frame : frames_) count += CMTimeCompare(frame.time, itemTime) > 0;
  return count;
}

void AVPlayerItemVideoOutput::discardFrames() {
  std::lock_guard lock(mutex_);
  frames_.clear();
}
