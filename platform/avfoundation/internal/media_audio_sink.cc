#include "platform/avfoundation/internal/media_audio_sink.h"

#include <algorithm>
#include <cmath>

namespace avfoundation::internal {
namespace {

// Decoded ahead of the item's time, at most.
constexpr double kLeadSeconds = 0.2;
// Frames one step decodes at most before it lets other work run.
constexpr int kFramesPerStep = 64;

}  // namespace

std::shared_ptr<MediaAudioSink> MediaAudioSink::start(
    std::shared_ptr<const foundation::RegularFile> file, std::shared_ptr<ItemClock> clock) {
  std::shared_ptr<MediaAudioSink> sink(new MediaAudioSink(std::move(file), std::move(clock)));
  sink->clock_->follow(sink);
  sink->wake();
  return sink;
}

void MediaAudioSink::stop(std::shared_ptr<MediaAudioSink> sink) {
  if (!sink) return;
  sink->clock_->unfollow(sink.get());
  retire(std::move(sink));
}

MediaAudioSink::MediaAudioSink(std::shared_ptr<const foundation::RegularFile> file,
                               std::shared_ptr<ItemClock> clock)
    : DecodeWorker("com.apple.avfoundation.audio-sink"),
      file_(std::move(file)),
      clock_(std::move(clock)) {}

void MediaAudioSink::step() {
  if (clock_->gone()) {
    cancel();
    return;
  }
  if (!decoder_) {
    decoder_ = StreamDecoder::open(file_, {StreamKind::kAudio, cancelFlag(), 0});
    if (!decoder_) {
      ended_ = true;
      clock_->streamEnded(this, kCMTimeZero);
      return;
    }
  }
  if (uint64_t moves = clock_->moves(); moves != seen_moves_) {
    seen_moves_ = moves;
    double target = CMTimeGetSeconds(clock_->currentTime());
    if (decoder_->seek(target)) {
      converter_.reset();
      ended_ = false;
      decoded_until_ = trim_before_ = target;
    }
  }
  if (!decodeAhead()) {
    wake();
    return;
  }
  if (ended_) return;
  // The next block falls due when half the lead has been played.
  auto due = clock_->hostTimeForItemTime(
      CMTimeMakeWithSeconds(decoded_until_ - kLeadSeconds / 2, 1000000));
  if (due) wakeAt(*due);
}

bool MediaAudioSink::decodeAhead() {
  for (int made = 0; made < kFramesPerStep; ++made) {
    if (ended_ || cancelled()) return true;
    if (clock_->moves() != seen_moves_) return false;
    double now = CMTimeGetSeconds(clock_->currentTime());
    if (decoded_until_ >= now + kLeadSeconds) return true;
    auto decoded = decoder_->next();
    if (!decoded) {
      ended_ = true;
      clock_->streamEnded(this, decoder_->position().value_or(clock_->currentTime()),
                          streamEndOf(*decoder_));
      return true;
    }
    handOver(*decoded);
    decoded_until_ = std::max(decoded_until_, CMTimeGetSeconds(decoded->end()));
  }
  return false;
}

void MediaAudioSink::handOver(const DecodedFrame& decoded) {
  samples_.clear();
  if (!converter_.convert(*decoded.frame, &samples_)) return;
  size_t frames = samples_.size() / AudioConverter::kChannels;
  // After a seek, what lies before its target is not played.
  double early = trim_before_ - CMTimeGetSeconds(decoded.time);
  size_t dropped = 0;
  if (early > 0) {
    double early_frames = early * AudioConverter::kRate;
    dropped = early_frames >= static_cast<double>(frames) ? frames
                                                          : static_cast<size_t>(early_frames);
  }
  float volume = clock_->volume();
  float peak = 0;
  for (size_t i = dropped * AudioConverter::kChannels; i < samples_.size(); ++i) {
    samples_[i] *= volume;
    peak = std::max(peak, std::fabs(samples_[i]));
  }
  frames_consumed_.fetch_add(static_cast<int64_t>(frames - dropped), std::memory_order_acq_rel);
  last_peak_.store(peak, std::memory_order_release);
}

}  // namespace avfoundation::internal
