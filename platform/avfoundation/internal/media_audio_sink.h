// Plays a library-backed item's audio into no device: decodes it in steps, a little ahead of the
// item's time, converts it to the sink's format (AudioConverter), applies the volume and hands it
// over as the item's time passes. Follows seeks as the video feed does; at the end of its stream it
// rests, and tells the clock where the stream ended.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "platform/avfoundation/internal/audio_converter.h"
#include "platform/avfoundation/internal/decode_worker.h"
#include "platform/avfoundation/internal/item_clock.h"
#include "platform/avfoundation/internal/stream_decoder.h"

namespace avfoundation::internal {

class MediaAudioSink final : public DecodeWorker {
 public:
  // Starts following `clock`.
  static std::shared_ptr<MediaAudioSink> start(std::shared_ptr<const foundation::RegularFile> file,
                                               std::shared_ptr<ItemClock> clock);
  // Stops following the clock; the sink ends on its own queue (DecodeWorker::retire).
  static void stop(std::shared_ptr<MediaAudioSink> sink);

  // Sample frames (at the sink's rate) handed over so far, and the loudest sample of the last
  // block after the volume.
  int64_t framesConsumed() const { return frames_consumed_.load(std::memory_order_acquire); }
  float lastPeak() const { return last_peak_.load(std::memory_order_acquire); }

 private:
  MediaAudioSink(std::shared_ptr<const foundation::RegularFile> file,
                 std::shared_ptr<ItemClock> clock);
  void step() override;
  // Decodes what the item's time has reached, a little ahead; false when a step should follow at
  // once.
  bool decodeAhead();
  void handOver(const DecodedFrame& decoded);

  const std::shared_ptr<const foundation::RegularFile> file_;
  const std::shared_ptr<ItemClock> clock_;
  std::atomic<int64_t> frames_consumed_{0};
  std::atomic<float> last_peak_{0};
  // Everything below is touched by steps only.
  std::unique_ptr<StreamDecoder> decoder_;
  AudioConverter converter_;
  std::vector<float> samples_;
  uint64_t seen_moves_ = 0;
  bool ended_ = false;
  // Item seconds decoded so far, and where a seek's target lies (what comes before is dropped).
  double decoded_until_ = 0;
  double trim_before_ = 0;
};

}  // namespace avfoundation::internal
