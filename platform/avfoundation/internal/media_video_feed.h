// Decodes the video of a library-backed item for one video output, in steps: the frame to show
// at the item's time and up to kVideoFramesAhead frames (kVideoBytesAhead bytes) ahead of it,
// converted to 32BGRA. It follows the item's clock: after a seek it decodes from a point at or
// before the target (or on from where it stands, when the target lies a little ahead), lets the
// frames before the target go unconverted and shows the target's frame, the last at or before it
// (before a stream that starts late, its first); then it rests until the time moves, a frame is
// taken, or, while the item plays, the next frame falls due. While the time runs backward it shows,
// now and then, the frame of a time a little ahead of where the time is, each decoded from a key
// frame before it. At the end of its stream it rests, and tells the clock where the stream ended.
//
// Resting at the end, or paused with pictures larger than the room ahead, it lets go of its
// decoder and the pictures in it; it opens the file again where it stood when it has work again.
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
  // Opens the decoder (again); false when the file holds no video to decode.
  bool openDecoder();
  // The time moved to `target`: where decoding must go on from.
  void follow(CMTime target);
  // Decoding goes on from a point at or before `target`; what is held is let go.
  void seekTo(CMTime target);
  // Decoding on after a seek passed its target: the frames held are those to show from now.
  void reachedTarget();
  // Decodes until the frame for now and the frames ahead are there; false when a step should
  // follow at once.
  bool decodeAhead();
  // The time runs backward.
  void stepBackward();
  void place(const DecodedFrame& decoded, CMTime now);
  void deliver(const AVFrame& frame, CMTime time, bool first);
  void deliverCandidate();
  void dropCandidate();
  void reachedEnd(CMTime now);
  void scheduleNext();
  // Between steps: what the decoder holds is counted, or let go with it.
  void rest();

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
  // Where decoding stood when the decoder was let go: it goes on from there, and frames before
  // it (already held) are not placed again.
  std::optional<CMTime> resume_at_;
  std::optional<CMTime> skip_before_;
  // The last frame decoded at or before the time, kept unconverted until it is known whether a
  // later one is still before the time.
  std::unique_ptr<AVFrame, FrameDeleter> candidate_;
  std::optional<CMTime> candidate_time_;
  bool candidate_first_ = false;
  std::optional<CMTime> last_delivered_;
  // Every frame decoded from this time up to where decoding stands was delivered: a target in
  // that span is shown by what is held.
  std::optional<CMTime> held_from_;
  // Where the time was moved to last, and whether decoding on has yet to reach it.
  CMTime target_ = kCMTimeZero;
  bool awaiting_target_ = false;
  // Running backward: the frame shown stands for times from `shown_from` on; a backward step took
  // `backward_lag` seconds last.
  std::optional<CMTime> shown_from_;
  double backward_lag_ = 0.1;
  // The last frame could not be kept: memory ran out.
  bool short_of_memory_ = false;
};

}  // namespace avfoundation::internal
