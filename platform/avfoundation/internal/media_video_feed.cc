#include "platform/avfoundation/internal/media_video_feed.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/foundation/ns_log.h"
#include "platform/quartzcore/ca_media_timing.h"

namespace avfoundation::internal {
namespace {

// A target this little ahead of where decoding stands is reached by decoding on, not by seeking.
constexpr double kDecodeThroughSeconds = 1.0;
// Frames one step decodes at most before it lets other work run.
constexpr int kFramesPerStep = 8;
// While playing, a decoder that falls behind still shows a passed frame this often (item time).
constexpr double kLaggingFrameSeconds = 0.25;
// Running backward, a step aims ahead of the time by what the last one took (within these), and
// by what an output asks ahead of the time it shows (a display refresh or so) besides.
constexpr double kShortestBackwardLag = 0.02;
constexpr double kLongestBackwardLag = 1.0;
constexpr double kBackwardLookAhead = 0.1;

bool after(CMTime lhs, CMTime rhs) { return CMTimeCompare(lhs, rhs) > 0; }

CMTime inSeconds(double seconds) { return CMTimeMakeWithSeconds(seconds, 1000000); }

}  // namespace

std::shared_ptr<MediaVideoFeed> MediaVideoFeed::start(
    std::shared_ptr<const foundation::RegularFile> file, std::shared_ptr<ItemClock> clock,
    std::shared_ptr<VideoFrameQueue> frames) {
  std::shared_ptr<MediaVideoFeed> feed(
      new MediaVideoFeed(std::move(file), std::move(clock), std::move(frames)));
  feed->clock_->follow(feed);
  // A frame handed out makes room ahead.
  feed->frames_->setOnFrameTaken([weak = std::weak_ptr<MediaVideoFeed>(feed)] {
    if (auto self = weak.lock()) self->wake();
  });
  feed->wake();
  return feed;
}

void MediaVideoFeed::stop(std::shared_ptr<MediaVideoFeed> feed) {
  if (!feed) return;
  feed->clock_->unfollow(feed.get());
  retire(std::move(feed));
}

MediaVideoFeed::MediaVideoFeed(std::shared_ptr<const foundation::RegularFile> file,
                               std::shared_ptr<ItemClock> clock,
                               std::shared_ptr<VideoFrameQueue> frames)
    : DecodeWorker("com.apple.avfoundation.video-decoder"),
      file_(std::move(file)),
      clock_(std::move(clock)),
      frames_(std::move(frames)),
      candidate_(av_frame_alloc()) {}

void MediaVideoFeed::step() {
  if (clock_->gone()) {
    cancel();
    return;
  }
  uint64_t moves = clock_->moves();
  bool moved = moves != seen_moves_ || !vouched_;
  float rate = clock_->rate();
  // At its end, or paused without its decoder, the feed has nothing to do until the time moves
  // or runs.
  if (!moved && rate >= 0 && (ended_ || (!decoder_ && rate == 0 && resume_at_))) return;
  if (!decoder_ && !openDecoder()) {
    // Nothing to show; an item waiting to learn its end does not wait for this stream.
    ended_ = true;
    resume_at_.reset();
    clock_->streamEnded(this, kCMTimeZero);
    return;
  }
  if (moved) {
    seen_moves_ = moves;
    follow(clock_->currentTime());
    // Decoding on, the frames held before the target are not yet known to be its frame.
    if (!awaiting_target_) frames_->vouchFor(moves);
    vouched_ = true;
  } else if (rate >= 0 && shown_from_) {
    follow(clock_->currentTime());  // no longer backward: from where the time now is
  }
  if (rate < 0) {
    stepBackward();
  } else if (!decodeAhead()) {
    wake();
  } else {
    scheduleNext();
  }
  rest();
}

bool MediaVideoFeed::openDecoder() {
  decoder_ = StreamDecoder::open(
      file_, {StreamKind::kVideo, cancelFlag(), kVideoDecoderExtraThreads});
  if (!decoder_) return false;
  // Opened again: from where decoding stood, or (after the end) wherever the time goes next.
  from_start_ = !vouched_;
  ended_ = false;
  held_from_.reset();
  if (resume_at_) {
    if (decoder_->seek(CMTimeGetSeconds(*resume_at_))) from_start_ = false;
    skip_before_ = resume_at_;
    resume_at_.reset();
  }
  return true;
}

void MediaVideoFeed::follow(CMTime target) {
  target_ = target;
  shown_from_.reset();
  auto position = decoder_->position();
  if (!position && from_start_) position = kCMTimeZero;
  // Every frame up to where decoding stands is held from before the target: the one shown there
  // is among them.
  if (position && after(*position, target) && held_from_ && !after(*held_from_, target) &&
      frames_->holdsFrameFor(target)) {
    return;
  }
  if (position && !after(*position, target) &&
      !after(target, CMTimeAdd(*position, inSeconds(kDecodeThroughSeconds)))) {
    // Just ahead: decoding on reaches it, the frames before it let go unconverted (at the end of
    // the stream, the last frame held is the one).
    awaiting_target_ = !ended_;
    return;
  }
  seekTo(target);
}

void MediaVideoFeed::reachedTarget() {
  if (!awaiting_target_) return;
  awaiting_target_ = false;
  frames_->vouchFor(seen_moves_);
}

void MediaVideoFeed::seekTo(CMTime target) {
  awaiting_target_ = false;
  if (!decoder_->seek(CMTimeGetSeconds(target))) return;  // stays where it was
  from_start_ = false;
  frames_->clear();
  dropCandidate();
  last_delivered_.reset();
  held_from_.reset();
  skip_before_.reset();
  ended_ = false;
}

bool MediaVideoFeed::decodeAhead() {
  for (int made = 0; made < kFramesPerStep; ++made) {
    if (ended_ || cancelled()) return true;
    // A seek came in, or the time turned backward: a step follows it first.
    if (clock_->moves() != seen_moves_ || clock_->rate() < 0) return false;
    CMTime now = clock_->currentTime();
    // Decoding has passed the time: the frame for now is out (or waits as the candidate), and
    // only frames ahead remain to decode, within the budget.
    auto position = decoder_->position();
    if (!position) position = skip_before_;
    if (position && after(*position, now)) {
      auto ahead = frames_->aheadOf(now);
      size_t nextBytes = static_cast<size_t>(decoder_->codec().width) *
                         static_cast<size_t>(decoder_->codec().height) * 4;
      if (ahead.frames >= kVideoFramesAhead || ahead.bytes + nextBytes > kVideoBytesAhead) {
        return true;  // full: rest until a frame is taken or falls due
      }
    }
    auto decoded = decoder_->next();
    if (!decoded) {
      reachedEnd(now);
      return true;
    }
    // Frames before where a decoder let go stood are held already.
    if (skip_before_ && after(*skip_before_, decoded->time)) continue;
    skip_before_.reset();
    place(*decoded, clock_->currentTime());
  }
  return false;
}

void MediaVideoFeed::stepBackward() {
  CMTime now = clock_->currentTime();
  // The frame shown (of a time a little ahead) stands until the time goes below it.
  if (shown_from_ && !after(*shown_from_, now)) {
    if (auto host = clock_->hostTimeGoingBackTo(*shown_from_)) wakeAt(*host);
    return;
  }
  // Aims where the time will be when the frame is out: a frame of a time to come is never shown.
  double began = CACurrentMediaTime();
  double aim = CMTimeGetSeconds(now) +
               static_cast<double>(clock_->rate()) * (backward_lag_ + kBackwardLookAhead);
  CMTime target = inSeconds(std::max(0.0, aim));
  seekTo(target);
  uint64_t moves = seen_moves_;
  while (auto decoded = decoder_->next()) {
    if (cancelled() || clock_->moves() != moves || clock_->rate() >= 0) {
      dropCandidate();
      wake();
      return;
    }
    if (after(decoded->time, target) && (candidate_time_ || !decoded->first)) break;
    dropCandidate();
    if (av_frame_ref(candidate_.get(), decoded->frame) < 0) break;
    candidate_time_ = decoded->time;
    candidate_first_ = decoded->first;
    if (after(decoded->time, target)) break;  // the stream's first frame, after the target
  }
  bool first = candidate_first_;
  std::optional<CMTime> shown = candidate_time_;
  deliverCandidate();
  // Frames after the target went unshown: forward, decoding starts again.
  held_from_.reset();
  if (shown) shown_from_ = first ? kCMTimeZero : *shown;
  backward_lag_ =
      std::clamp(CACurrentMediaTime() - began, kShortestBackwardLag, kLongestBackwardLag);
  wake();  // rests, or goes on back
}

void MediaVideoFeed::place(const DecodedFrame& decoded, CMTime now) {
  if (after(decoded.time, now)) {
    deliverCandidate();
    deliver(*decoded.frame, decoded.time, decoded.first);
  } else if (after(decoded.end(), now)) {
    dropCandidate();  // this one is the frame for now
    deliver(*decoded.frame, decoded.time, decoded.first);
  } else {
    dropCandidate();
    if (av_frame_ref(candidate_.get(), decoded.frame) < 0) return;
    candidate_time_ = decoded.time;
    candidate_first_ = decoded.first;
    // A decoder slower than the clock still shows a picture now and then: one that passed only
    // just now, and never one before the target of the last seek.
    double behind = CMTimeGetSeconds(CMTimeSubtract(now, decoded.time));
    bool lagging = clock_->rate() != 0.0f && behind < kLaggingFrameSeconds &&
                   !after(target_, decoded.time) &&
                   (!last_delivered_ ||
                    CMTimeGetSeconds(CMTimeSubtract(now, *last_delivered_)) >= kLaggingFrameSeconds);
    if (lagging) deliverCandidate();
  }
  if (after(decoded.end(), target_)) reachedTarget();
}

void MediaVideoFeed::deliver(const AVFrame& frame, CMTime time, bool first) {
  CVReturn status;
  CVPixelBufferRef buffer = converter_.convert(frame, &status);
  if (!buffer) {
    // Said once while it lasts: a frame is skipped each time memory runs out.
    if (status == kCVReturnAllocationFailed && !short_of_memory_) {
      NSLog("Skipped a video frame of %dx%d: memory ran out", frame.width, frame.height);
    }
    short_of_memory_ = status == kCVReturnAllocationFailed;
    held_from_.reset();
    return;
  }
  short_of_memory_ = false;
  frames_->add(time, std::move(buffer), clock_->currentTime(), first);
  last_delivered_ = time;
  if (!held_from_) held_from_ = first ? kCMTimeZero : time;
}

void MediaVideoFeed::deliverCandidate() {
  if (!candidate_time_) return;
  deliver(*candidate_, *candidate_time_, candidate_first_);
  candidate_time_.reset();
  av_frame_unref(candidate_.get());
}

void MediaVideoFeed::dropCandidate() {
  if (!candidate_time_) return;
  candidate_time_.reset();
  av_frame_unref(candidate_.get());
  held_from_.reset();  // a frame decoded and never shown: what is held has a gap
}

void MediaVideoFeed::reachedEnd(CMTime now) {
  ended_ = true;
  deliverCandidate();
  reachedTarget();
  clock_->streamEnded(this, decoder_->position().value_or(now), streamEndOf(*decoder_));
}

void MediaVideoFeed::scheduleNext() {
  if (ended_ || cancelled() || !decoder_) return;
  CMTime now = clock_->currentTime();
  auto position = decoder_->position();
  if (!position) position = skip_before_;
  auto ahead = frames_->aheadOf(now);
  // More is needed when the first frame ahead becomes the current one, or when the last decoded
  // one has passed.
  std::optional<CMTime> due = ahead.next;
  if (position && (!due || after(*due, *position))) due = position;
  if (!due) return;
  if (auto host = clock_->hostTimeForItemTime(*due)) wakeAt(*host);
}

void MediaVideoFeed::rest() {
  if (decoder_) {
    decoder_->releaseFrame();
    size_t picture = static_cast<size_t>(decoder_->codec().width) *
                     static_cast<size_t>(decoder_->codec().height) * 4;
    // A decoder keeps pictures of its own (references, a pool): at the end, or paused with
    // pictures too large to keep one ahead, it goes, and opens again where it stood.
    bool paused = clock_->rate() == 0.0f && !candidate_time_;
    if (ended_ || (paused && picture > kVideoBytesAhead)) {
      if (!ended_) resume_at_ = decoder_->position() ? decoder_->position() : skip_before_;
      decoder_.reset();
      skip_before_.reset();
    }
  }
  frames_->setDecodingBytes((decoder_ ? decoder_->heldBytes() : 0) + frameBytes(*candidate_));
}

}  // namespace avfoundation::internal
