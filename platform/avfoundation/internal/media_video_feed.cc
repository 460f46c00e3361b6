#include "platform/avfoundation/internal/media_video_feed.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace avfoundation::internal {
namespace {

// A target this little ahead of where decoding stands is reached by decoding on, not by seeking.
constexpr double kDecodeThroughSeconds = 1.0;
// Frames one step decodes at most before it lets other work run.
constexpr int kFramesPerStep = 8;
// While playing, a decoder that falls behind still shows a passed frame this often (item time).
constexpr double kLaggingFrameSeconds = 0.25;

bool after(CMTime lhs, CMTime rhs) { return CMTimeCompare(lhs, rhs) > 0; }

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
  if (!decoder_) {
    decoder_ = StreamDecoder::open(
        file_, {StreamKind::kVideo, cancelFlag(), kVideoDecoderExtraThreads});
    if (!decoder_) {
      // Nothing to show; an item waiting to learn its end does not wait for this stream.
      ended_ = true;
      clock_->streamEnded(this, kCMTimeZero);
      return;
    }
  }
  if (uint64_t moves = clock_->moves(); moves != seen_moves_ || !vouched_) {
    seen_moves_ = moves;
    follow(clock_->currentTime());
    frames_->vouchFor(moves);
    vouched_ = true;
  }
  if (!decodeAhead()) {
    wake();
    return;
  }
  scheduleNext();
}

void MediaVideoFeed::follow(CMTime target) {
  target_ = target;
  auto position = decoder_->position();
  if (!position && from_start_) position = kCMTimeZero;
  // What is held, or about to be decoded, already covers the target.
  if (position && after(*position, target) && frames_->holdsFrameFor(target)) return;
  if (position && !after(target, CMTimeAdd(*position, CMTimeMakeWithSeconds(
                                                          kDecodeThroughSeconds, 1000000))) &&
      !after(*position, target)) {
    return;  // just ahead: decoding on reaches it, the frames before it let go unconverted
  }
  if (!decoder_->seek(CMTimeGetSeconds(target))) return;  // stays where it was
  from_start_ = false;
  frames_->clear();
  candidate_time_.reset();
  last_delivered_.reset();
  ended_ = false;
}

bool MediaVideoFeed::decodeAhead() {
  for (int made = 0; made < kFramesPerStep; ++made) {
    if (ended_ || cancelled()) return true;
    if (clock_->moves() != seen_moves_) return false;  // a seek came in: follow it first
    CMTime now = clock_->currentTime();
    // Decoding has passed the time: the frame for now is out (or waits as the candidate), and
    // only frames ahead remain to decode, within the budget.
    auto position = decoder_->position();
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
    place(*decoded, clock_->currentTime());
  }
  return false;
}

void MediaVideoFeed::place(const DecodedFrame& decoded, CMTime now) {
  if (after(decoded.time, now)) {
    deliverCandidate();
    deliver(*decoded.frame, decoded.time);
  } else if (after(decoded.end(), now)) {
    candidate_time_.reset();  // this one is the frame for now
    deliver(*decoded.frame, decoded.time);
  } else {
    av_frame_unref(candidate_.get());
    if (av_frame_ref(candidate_.get(), decoded.frame) < 0) return;
    candidate_time_ = decoded.time;
    // A decoder slower than the clock still shows a picture now and then: one that passed only
    // just now, and never one before the target of the last seek.
    double behind = CMTimeGetSeconds(CMTimeSubtract(now, decoded.time));
    bool lagging = clock_->rate() != 0.0f && behind < kLaggingFrameSeconds &&
                   !after(target_, decoded.time) &&
                   (!last_delivered_ ||
                    CMTimeGetSeconds(CMTimeSubtract(now, *last_delivered_)) >= kLaggingFrameSeconds);
    if (lagging) deliverCandidate();
  }
}

void MediaVideoFeed::deliver(const AVFrame& frame, CMTime time) {
  if (CVPixelBufferRef buffer = converter_.convert(frame)) {
    frames_->add(time, std::move(buffer), clock_->currentTime());
    last_delivered_ = time;
  }
}

void MediaVideoFeed::deliverCandidate() {
  if (!candidate_time_) return;
  deliver(*candidate_, *candidate_time_);
  candidate_time_.reset();
  av_frame_unref(candidate_.get());
}

void MediaVideoFeed::reachedEnd(CMTime now) {
  ended_ = true;
  deliverCandidate();
  clock_->streamEnded(this, decoder_->position().value_or(now));
}

void MediaVideoFeed::scheduleNext() {
  if (ended_ || cancelled() || !decoder_) return;
  CMTime now = clock_->currentTime();
  auto position = decoder_->position();
  auto ahead = frames_->aheadOf(now);
  // More is needed when the first frame ahead becomes the current one, or when the last decoded
  // one has passed.
  std::optional<CMTime> due = ahead.next;
  if (position && (!due || after(*due, *position))) due = position;
  if (!due) return;
  if (auto host = clock_->hostTimeForItemTime(*due)) wakeAt(*host);
}

}  // namespace avfoundation::internal
