// Decodes the video of a library-backed item for one video output, in steps: the frame to show
// at the item's time and up to kVideoFramesAhead frames (kVideoBytesAhead bytes) ahead of it,
// converted to 32BGRA. It follows the item's clock: after a seek it decodes from the key frame
// before the target (or on from where it stands, when the target lies a little ahead), lets the
// frames before the target go unconverted and shows the target's frame; then it rests until the
// time moves, a frame is taken, or, while the item plays, the next frame falls due. At the end of
// its stream it rests, and tells the clock where the stream ended.
#pragma once

#include <memory>
#include <optional>

#include "platform/avfoundation/internal/bgra_converter.h"
#include "platform/avfoundation/internal/decode_worker.h"
#include "platform/avfoundation/internal/item_clock.h"
#include "platform/avfoundation/internal/stream_decoder.h"
#include "platform/avfoundation/internal/video_frame_queue.h"

namespace avfoundation::internal {

class MediaVideoFeed final : public DecodeWorker {
 public:
  // Starts following `clock` into `frames`.
  static std::shared_ptr<MediaVideoFeed> start(std::shared_ptr<const foundation::RegularFile> file,
                                               std::shared_ptr<ItemClock> clock,
                                               std::shared_ptr<VideoFrameQueue> frames);
  // Stops following the clock; the feed ends on its own queue (DecodeWorker::retire).
  static void stop(std::shared_ptr<MediaVideoFeed> feed);

 private:
  MediaVideoFeed(std::shared_ptr<const foundation::RegularFile> file,
                 std::shared_ptr<ItemClock> clock, std::shared_ptr<VideoFrameQueue> frames);
  void step() override;
  // The time moved to `target`: where decoding must go on from.
  void follow(CMTime target);
  // Decodes until the frame for now and the frames ahead are there; false when a step should
  // follow at once.
  bool decodeAhead();
  void place(const DecodedFrame& decoded, CMTime now);
  void deliver(const AVFrame& frame, CMTime time);
  void deliverCandidate();
  void reachedEnd(CMTime now);
  void scheduleNext();

  const std::shared_ptr<const foundation::RegularFile> file_;
  const std::shared_ptr<ItemClock> clock_;
  const std::shared_ptr<VideoFrameQueue> frames_;
  // Everything below is touched by steps only.
  std::unique_ptr<StreamDecoder> decoder_;
  BGRAConverter converter_;
  uint64_t seen_moves_ = 0;
  bool vouched_ = false;
  // Nothing was sought since the decoder opened: it decodes from the start.
  bool from_start_ = true;
  bool ended_ = false;
  // The last frame decoded at or before the time, kept unconverted until it is known whether a
  // later one is still before the time.
  std::unique_ptr<AVFrame, FrameDeleter> candidate_;
  std::optional<CMTime> candidate_time_;
  std::optional<CMTime> last_delivered_;
  // Where the time was moved to last.
  CMTime target_ = kCMTimeZero;
};

}  // namespace avfoundation::internal
