// Decodes the video of a library-backed item off the main thread, a few frames ahead of the
// item's time, converted to 32-bit BGRA, and hands them to a sink (the video output). Follows the
// item's time: a jump back, or far ahead, seeks the decoder. Ends when the sink's item is gone or
// the feed is destroyed (which waits for its thread).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/avfoundation/cm_time.h"
#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/avfoundation/internal/decode_worker.h"

namespace avfoundation::internal {

// Frames decoded beyond the item's time before the feed waits.
inline constexpr int kVideoFramesAhead = 4;

struct VideoFeedSink {
  // The item's current time in seconds; nullopt once the item is gone (the feed then ends).
  std::function<std::optional<double>()> itemTime;
  // How many delivered frames lie after `itemTime`.
  std::function<int(double itemTime)> framesAhead;
  // A decoded frame for its presentation time, exactly as the file times it.
  std::function<void(CMTime time, CVPixelBufferRef frame)> deliver;
  // The decoder moved: frames delivered so far no longer follow.
  std::function<void()> discardAll;
};

class MediaVideoFeed {
 public:
  MediaVideoFeed(std::string path, VideoFeedSink sink);
  MediaVideoFeed(const MediaVideoFeed&) = delete;
  MediaVideoFeed& operator=(const MediaVideoFeed&) = delete;

  // Something changed (a frame was handed out, the time moved): look again now.
  void wake() { worker_.wake(); }

 private:
  void run();

  const std::string path_;
  const VideoFeedSink sink_;
  DecodeWorker worker_{[this] { run(); }};
};

}  // namespace avfoundation::internal
