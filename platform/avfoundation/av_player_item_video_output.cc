#include "platform/avfoundation/av_player_item_video_output.h"

#include <algorithm>

#include "platform/avfoundation/av_player_item.h"

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
  std::lock_guard lock(mutex_);
  const Frame* frame = frameFor(itemTime);
  if (frame == nullptr) return nullptr;
  Frame chosen = *frame;
  handed_out_serial_ = chosen.serial;
  std::erase_if(frames_, [&](const Frame& other) {
    return other.serial != chosen.serial && CMTimeCompare(other.time, chosen.time) <= 0;
  });
  if (itemTimeForDisplay != nullptr) *itemTimeForDisplay = chosen.time;
  return chosen.buffer;
}
