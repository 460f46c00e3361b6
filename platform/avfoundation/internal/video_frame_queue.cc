#include "platform/avfoundation/internal/video_frame_queue.h"

#include <algorithm>

namespace avfoundation::internal {

const VideoFrameQueue::Frame* VideoFrameQueue::frameFor(CMTime itemTime) const {
  if (!CMTIME_IS_NUMERIC(itemTime)) return nullptr;
  const Frame* latest = nullptr;
  const Frame* first = nullptr;
  for (const auto& frame : frames_) {
    if (CMTimeCompare(frame.time, itemTime) <= 0 &&
        (latest == nullptr || CMTimeCompare(frame.time, latest->time) >= 0)) {
      latest = &frame;
    }
    if (frame.first) first = &frame;
  }
  return latest != nullptr ? latest : first;
}

bool VideoFrameQueue::hasNewFrameFor(CMTime itemTime, uint64_t moves) const {
  std::lock_guard lock(mutex_);
  if (stale(moves)) return false;
  const Frame* frame = frameFor(itemTime);
  return frame != nullptr && frame->serial != handed_out_serial_;
}

CVPixelBufferRef VideoFrameQueue::takeFrameFor(CMTime itemTime, uint64_t moves,
                                               CMTime* shownTime) {
  Frame chosen;
  std::function<void()> taken;
  {
    std::lock_guard lock(mutex_);
    if (stale(moves)) return nullptr;
    const Frame* frame = frameFor(itemTime);
    if (frame == nullptr) return nullptr;
    chosen = *frame;
    handed_out_serial_ = chosen.serial;
    std::erase_if(frames_, [&](const Frame& other) {
      return other.serial != chosen.serial && CMTimeCompare(other.time, chosen.time) <= 0;
    });
    taken = on_frame_taken_;
  }
  if (shownTime != nullptr) *shownTime = chosen.time;
  if (taken) taken();
  return chosen.buffer;
}

void VideoFrameQueue::add(CMTime time, CVPixelBufferRef frame, CMTime now, bool first) {
  std::lock_guard lock(mutex_);
  frames_.push_back(Frame{time, std::move(frame), next_serial_++, first});
  // Frames before the one to show now are never shown: an output that nobody copies from holds
  // the frame to show and those ahead, not every frame of the file.
  if (const Frame* current = frameFor(now)) {
    const CMTime shown = current->time;
    std::erase_if(frames_, [&](const Frame& each) { return CMTimeCompare(each.time, shown) < 0; });
  }
}

void VideoFrameQueue::vouchFor(uint64_t moves) {
  std::lock_guard lock(mutex_);
  vouched_moves_ = moves;
}

void VideoFrameQueue::clear() {
  std::lock_guard lock(mutex_);
  frames_.clear();
}

VideoFrameQueue::Ahead VideoFrameQueue::aheadOf(CMTime itemTime) const {
  std::lock_guard lock(mutex_);
  Ahead ahead;
  for (const auto& frame : frames_) {
    if (CMTimeCompare(frame.time, itemTime) <= 0) continue;
    ++ahead.frames;
    ahead.bytes += frame.buffer ? frame.buffer->dataSize() : 0;
    if (!ahead.next || CMTimeCompare(frame.time, *ahead.next) < 0) ahead.next = frame.time;
  }
  return ahead;
}

bool VideoFrameQueue::holdsFrameFor(CMTime itemTime) const {
  std::lock_guard lock(mutex_);
  return frameFor(itemTime) != nullptr;
}

int VideoFrameQueue::count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(frames_.size());
}

size_t VideoFrameQueue::bytes() const {
  std::lock_guard lock(mutex_);
  size_t total = decoding_bytes_.load(std::memory_order_acquire);
  for (const auto& frame : frames_) total += frame.buffer ? frame.buffer->dataSize() : 0;
  return total;
}

void VideoFrameQueue::setOnFrameTaken(std::function<void()> onFrameTaken) {
  std::lock_guard lock(mutex_);
  on_frame_taken_ = std::move(onFrameTaken);
}

}  // namespace avfoundation::internal
