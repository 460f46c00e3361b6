// Plays a library-backed item's audio into no device: decodes it off the main thread, a little
// ahead of the item's time, converts it to float samples, applies the volume and consumes it as
// the item's time passes (so at the playback rate). Follows seeks as the video feed does; ends
// when the item is gone or the sink is destroyed (which waits for its thread).
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "platform/avfoundation/internal/decode_worker.h"

namespace avfoundation::internal {

struct AudioSinkSource {
  // The item's current time in seconds; nullopt once the item is gone.
  std::function<std::optional<double>()> itemTime;
  // The volume to apply, 0 to 1.
  std::function<float()> volume;
};

class MediaAudioSink {
 public:
  MediaAudioSink(std::string path, AudioSinkSource source);
  MediaAudioSink(const MediaAudioSink&) = delete;
  MediaAudioSink& operator=(const MediaAudioSink&) = delete;

  // Sample frames consumed so far, and the loudest sample of the last block after the volume.
  int64_t framesConsumed() const { return frames_consumed_.load(std::memory_order_acquire); }
  float lastPeak() const { return last_peak_.load(std::memory_order_acquire); }

 private:
  void run();

  const std::string path_;
  const AudioSinkSource source_;
  std::atomic<int64_t> frames_consumed_{0};
  std::atomic<float> last_peak_{0};
  DecodeWorker worker_{[this] { run(); }};
};

}  // namespace avfoundation::internal
