// The frames a video output holds: the one to show now and those decoded ahead of the item's
// time, each with its item time. The output hands out the last frame at or before an item time
// and lets go of the earlier ones; the decoder asks how much lies ahead before it decodes more.
// Shared by the output and its decoder, so that neither holds the other. Safe from any thread.
//
// A decoder vouches for its frames after each seek of the item: until it has followed the seek,
// frames decoded before it are not handed out. Frames nobody vouches for (pushed by tests) are
// always handed out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/avfoundation/cm_time.h"
#include "platform/avfoundation/cv_pixel_buffer.h"

namespace avfoundation::internal {

// What a decoder keeps ahead of the item's time, at most: frames, and their bytes.
inline constexpr int kVideoFramesAhead = 4;
inline constexpr size_t kVideoBytesAhead = size_t{64} << 20;

class VideoFrameQueue {
 public:
  struct Ahead {
    int frames = 0;
    size_t bytes = 0;
    // The earliest time after the item time; nullopt when nothing lies ahead.
    std::optional<CMTime> next;
  };

  // Whether the frame to show at `itemTime`, after the item's `moves`-th seek, differs from the
  // last one handed out.
  bool hasNewFrameFor(CMTime itemTime, uint64_t moves) const;
  // The frame to show at `itemTime` after the item's `moves`-th seek (null when there is none);
  // earlier frames are let go. `shownTime` receives the frame's own time when given.
  CVPixelBufferRef takeFrameFor(CMTime itemTime, uint64_t moves, CMTime* shownTime);
  // The frames held are those to show after the item's `moves`-th seek.
  void vouchFor(uint64_t moves);
  // A frame for `time`; frames the item time `now` has passed are let go. A stream's `first`
  // frame is also the one to show at times before it.
  void add(CMTime time, CVPixelBufferRef frame, CMTime now, bool first = false);
  void clear();
  Ahead aheadOf(CMTime itemTime) const;
  // Whether a frame to show at `itemTime` is held, handed out or not.
  bool holdsFrameFor(CMTime itemTime) const;
  int count() const;
  // What the output and its decoder hold: the frames, and the pictures the decoder keeps while it
  // works on them (which it tells with setDecodingBytes).
  size_t bytes() const;
  void setDecodingBytes(size_t bytes) { decoding_bytes_.store(bytes, std::memory_order_release); }
  // Called (outside the lock) whenever a frame was handed out, so that the decoder fills up.
  void setOnFrameTaken(std::function<void()> onFrameTaken);

 private:
  struct Frame {
    CMTime time;
    CVPixelBufferRef buffer;
    uint64_t serial;
    bool first;
  };
  const Frame* frameFor(CMTime itemTime) const;  // with mutex_ held
  bool stale(uint64_t moves) const { return vouched_moves_ && *vouched_moves_ != moves; }

  mutable std::mutex mutex_;
  std::vector<Frame> frames_;
  uint64_t next_serial_ = 1;
  uint64_t handed_out_serial_ = 0;
  std::optional<uint64_t> vouched_moves_;
  std::function<void()> on_frame_taken_;
  std::atomic<size_t> decoding_bytes_{0};
};

}  // namespace avfoundation::internal
