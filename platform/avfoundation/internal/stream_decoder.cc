#include "platform/avfoundation/internal/stream_decoder.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
}

#include "platform/avfoundation/internal/ffmpeg_settings.h"
#include "platform/avfoundation/internal/png_chunks.h"
#include "platform/foundation/ns_log.h"

namespace avfoundation::internal {
namespace {

// Frames the decoder fails to make one after the other before the stream counts as ended: a
// decoder that only fails must not spin.
constexpr int kMaxConsecutiveFailures = 64;
// What a video stream that tells no rate of its own is timed at.
constexpr AVRational kDefaultFrameRate{25, 1};
// Seek targets are clamped to this many seconds either way, so that they stay within int64.
constexpr double kFarthestSeekSeconds = 1e9;

bool isPng(const AVCodecContext& context) {
  return context.codec_id == AV_CODEC_ID_PNG || context.codec_id == AV_CODEC_ID_APNG;
}

bool isRate(AVRational rate) { return rate.num > 0 && rate.den > 0; }

const char* kindName(StreamKind kind) { return kind == StreamKind::kVideo ? "video" : "audio"; }

std::atomic<uint64_t>& framesMade() {
  static std::atomic<uint64_t> made{0};
  return made;
}

}  // namespace

uint64_t StreamDecoder::framesMadeInProcess() {
  return framesMade().load(std::memory_order_relaxed);
}

size_t frameBytes(const AVFrame& frame) {
  size_t total = 0;
  for (const AVBufferRef* buffer : frame.buf) total += buffer != nullptr ? buffer->size : 0;
  for (int i = 0; i < frame.nb_extended_buf; ++i) total += frame.extended_buf[i]->size;
  return total;
}

size_t StreamDecoder::heldBytes() const { return frame_ ? frameBytes(*frame_) : 0; }

void StreamDecoder::releaseFrame() {
  if (frame_) av_frame_unref(frame_.get());
}

std::unique_ptr<StreamDecoder> StreamDecoder::open(
    std::shared_ptr<const foundation::RegularFile> file, const Options& options) {
  // A decoder of one kind has its file probed for that kind alone: a sound beside a picture
  // never decodes the picture.
  auto media = MediaFile::open(std::move(file), nullptr, options.cancelled,
                               options.kind == StreamKind::kVideo ? ProbedStreams::kVideoOnly
                                                                  : ProbedStreams::kAudioOnly);
  if (!media) return nullptr;
  std::unique_ptr<StreamDecoder> decoder(new StreamDecoder(std::move(media), options));
  if (!decoder->openDecoder()) return nullptr;
  return decoder;
}

std::unique_ptr<StreamDecoder> StreamDecoder::open(const std::string& path,
                                                   const Options& options) {
  return open(MediaFile::openFile(path, nullptr), options);
}

StreamDecoder::StreamDecoder(std::unique_ptr<MediaFile> media, Options options)
    : media_(std::move(media)), options_(std::move(options)) {}

StreamDecoder::~StreamDecoder() = default;

bool StreamDecoder::openDecoder() {
  AVFormatContext* format = media_->format();
  const AVCodec* codec = nullptr;
  stream_ = bestAllowedStream(
      format, options_.kind == StreamKind::kVideo ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO,
      &codec);
  if (stream_ < 0 || codec == nullptr) return false;
  // The demuxer skips what this decoder does not read.
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    if (static_cast<int>(i) != stream_) format->streams[i]->discard = AVDISCARD_ALL;
  }
  const AVStream& stream = *format->streams[stream_];
  context_.reset(avcodec_alloc_context3(codec));
  if (!context_ || avcodec_parameters_to_context(context_.get(), stream.codecpar) < 0) {
    return false;
  }
  context_->pkt_timebase = stream.time_base;
  if (isPng(*context_) && !filterPngExtradata(*context_)) return false;
  restrictDecoder(*context_);
#if defined(__SANITIZE_THREAD__)
  // FFmpeg's own threads synchronise through atomics built without ThreadSanitizer, which it
  // would report as races: that build decodes on the caller's thread alone.
  context_->thread_count = 1;
#else
  context_->thread_count = 1 + std::max(0, options_.extraThreads);
#endif
  if (avcodec_open2(context_.get(), codec, nullptr) < 0) return false;
  packet_.reset(av_packet_alloc());
  frame_.reset(av_frame_alloc());
  if (!packet_ || !frame_) return false;
  AVRational base = stream.time_base;
  if (!isRate(base)) return false;
  // A file whose length was measured from its times (a transport or program stream, whose clock
  // may read hours) has a time line that starts where its earliest stream starts. A file whose
  // header tells its length counts it from the file's zero, and a stream that starts later stands
  // at its own times on that line. A start below zero is an encoder's priming, which decoders
  // drop. A stream that tells no start (a raw elementary stream) has no times of its own to seek by.
  if (stream.start_time == AV_NOPTS_VALUE) times_made_up_ = true;
  const bool measured_from_times = format->duration_estimation_method == AVFMT_DURATION_FROM_PTS ||
                                   format->duration == AV_NOPTS_VALUE;
  origin_ = measured_from_times && format->start_time != AV_NOPTS_VALUE && format->start_time > 0
                ? av_rescale_q(format->start_time, AV_TIME_BASE_Q, base)
                : 0;
  return true;
}

std::optional<DecodedFrame> StreamDecoder::next() {
  while (!ended_) {
    bool cancelled = options_.cancelled && options_.cancelled->load(std::memory_order_acquire);
    if (cancelled || !decodeOne()) {
      // A landing that decodes nothing up to the end of the file lies too late.
      if (landing_ && !cancelled) {
        backOff();
        continue;
      }
      ended_ = true;
      break;
    }
    DecodedFrame decoded = timed();
    if (landing_) {
      // The decoder may drop what it cannot make from where it started (a partial packet, a
      // picture missing its references): the first frame it makes must still be in time.
      if (!decoded.first && *last_start_ > landing_->target) {
        backOff();
        continue;
      }
      landing_.reset();
    }
    return decoded;
  }
  return std::nullopt;
}

bool StreamDecoder::decodeOne() {
  while (true) {
    if (options_.cancelled && options_.cancelled->load(std::memory_order_acquire)) return false;
    int received = avcodec_receive_frame(context_.get(), frame_.get());
    if (received == 0) {
      bool usable = options_.kind == StreamKind::kVideo
                        ? frame_->width > 0 && frame_->height > 0 &&
                              isPictureSizeAllowed(frame_->width, frame_->height)
                        : frame_->sample_rate > 0 && frame_->nb_samples > 0 &&
                              frame_->ch_layout.nb_channels > 0;
      if (usable) {
        framesMade().fetch_add(1, std::memory_order_relaxed);
        consecutive_failures_ = 0;
        too_large_ = false;
        lost_since_frame_ = false;
        return true;
      }
      received = AVERROR_INVALIDDATA;
    }
    if (received == AVERROR_EOF) {
      // Only the file's own end, with nothing lost after the last frame, ends the stream there.
      end_of_stream_ = draining_at_end_of_file_ && !lost_since_frame_;
      return false;
    }
    if (received != AVERROR(EAGAIN)) {
      // A frame the decoder could not make: skip it, unless the decoder does nothing else.
      refused("frame", received);
      lost_since_frame_ = true;
      av_frame_unref(frame_.get());
      if (++consecutive_failures_ > kMaxConsecutiveFailures) return false;
      continue;
    }
    if (draining_) return false;
    // Read afresh each time: a landing may have opened the file again.
    int read = av_read_frame(media_->format(), packet_.get());
    if (read < 0) {
      if (read == AVERROR(ENOMEM)) {
        ranOutOfMemory("packet");
        lost_since_frame_ = true;
      }
      // The end of the file, a cancelled read or a file the demuxer gives up on: what the
      // decoder still holds comes out.
      if (read != AVERROR_EOF && read != AVERROR_EXIT &&
          ++consecutive_failures_ <= kMaxConsecutiveFailures) {
        continue;
      }
      if (landing_ && !landing_->started && read != AVERROR_EXIT) {
        backOff();  // landed after the stream's last key frame before the target
        continue;
      }
      draining_ = true;
      draining_at_end_of_file_ = read == AVERROR_EOF;
      avcodec_send_packet(context_.get(), nullptr);
      continue;
    }
    if (packet_->stream_index == stream_ &&
        (!landing_ || landing_->started || startsLanding(*packet_))) {
      bool readable = !isPng(*context_) || filterPngPacket(*packet_);
      int sent = readable ? avcodec_send_packet(context_.get(), packet_.get()) : AVERROR_INVALIDDATA;
      if (sent < 0 && sent != AVERROR(EAGAIN)) {
        refused("packet", sent);
        lost_since_frame_ = true;
      }
      if (sent >= 0) short_of_memory_ = false;
    }
    av_packet_unref(packet_.get());
  }
}

void StreamDecoder::forgetWhereReadingWas() {
  draining_ = ended_ = false;
  draining_at_end_of_file_ = end_of_stream_ = lost_since_frame_ = false;
  last_start_.reset();
  last_end_.reset();
  position_.reset();
}

void StreamDecoder::refused(const char* what, int error) {
  // Decoders call their own failures to get memory bad data: the cause is told by what can be
  // checked here, the picture's size and whether memory for one frame can be had now.
  if (options_.kind == StreamKind::kVideo) {
    for (auto [width, height] : {std::pair{frame_->width, frame_->height},
                                 std::pair{context_->width, context_->height},
                                 std::pair{context_->coded_width, context_->coded_height}}) {
      if (isPictureSizeAllowed(width, height)) continue;
      if (!too_large_) {
        NSLog("Skipped a video %s: a picture of %dx%d is larger than the host plays", what, width,
              height);
      }
      too_large_ = true;
      return;
    }
  }
  if (error == AVERROR(ENOMEM) || !oneFrameFits()) {
    ranOutOfMemory(what);
    return;
  }
  if (damaged_++ == 0) NSLog("Skipped a damaged %s %s", kindName(options_.kind), what);
}

bool StreamDecoder::oneFrameFits() const {
  int bytes = 0;
  if (options_.kind == StreamKind::kVideo) {
    const int width = std::max(context_->width, context_->coded_width);
    const int height = std::max(context_->height, context_->coded_height);
    if (width <= 0 || height <= 0) return true;
    const auto format = context_->pix_fmt != AV_PIX_FMT_NONE ? context_->pix_fmt : AV_PIX_FMT_YUV420P;
    bytes = av_image_get_buffer_size(format, width, height, 1);
  } else {
    const int channels = context_->ch_layout.nb_channels;
    const int samples = context_->frame_size > 0 ? context_->frame_size : 4096;
    if (channels <= 0 || context_->sample_fmt == AV_SAMPLE_FMT_NONE) return true;
    bytes = av_samples_get_buffer_size(nullptr, channels, samples, context_->sample_fmt, 1);
  }
  if (bytes <= 0) return true;
  // Taken through FFmpeg's allocator, as the decoder takes it, and given back at once.
  void* trial = av_malloc(static_cast<size_t>(bytes));
  av_free(trial);
  return trial != nullptr;
}

void StreamDecoder::ranOutOfMemory(const char* what) {
  // Said once while it lasts: no fault of the file.
  if (!short_of_memory_) NSLog("Skipped a %s %s: memory ran out", kindName(options_.kind), what);
  short_of_memory_ = true;
}

int64_t StreamDecoder::frameDurationInStreamUnits() const {
  const AVStream& stream = *media_->format()->streams[stream_];
  if (options_.kind == StreamKind::kAudio) {
    return std::max<int64_t>(
        1, av_rescale_q(frame_->nb_samples, AVRational{1, frame_->sample_rate}, stream.time_base));
  }
  if (frame_->pkt_duration > 0) return frame_->pkt_duration;
  AVRational rate = isRate(stream.avg_frame_rate)   ? stream.avg_frame_rate
                    : isRate(stream.r_frame_rate)   ? stream.r_frame_rate
                    : isRate(context_->framerate)   ? context_->framerate
                                                    : kDefaultFrameRate;
  return std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), stream.time_base));
}

CMTime StreamDecoder::inSeconds(int64_t streamUnits) const {
  AVRational base = media_->format()->streams[stream_]->time_base;
  int64_t value;
  if (base.den <= std::numeric_limits<CMTimeScale>::max() &&
      !__builtin_mul_overflow(streamUnits, static_cast<int64_t>(base.num), &value)) {
    return CMTimeMake(value, base.den);
  }
  return CMTimeMakeWithSeconds(static_cast<double>(streamUnits) * av_q2d(base), 1000000);
}

DecodedFrame StreamDecoder::timed() {
  int64_t duration = frameDurationInStreamUnits();
  int64_t stamp = frame_->best_effort_timestamp;
  if (stamp == AV_NOPTS_VALUE) stamp = frame_->pts;
  std::optional<int64_t> start;
  int64_t fromOrigin;
  if (stamp != AV_NOPTS_VALUE && !__builtin_sub_overflow(stamp, origin_, &fromOrigin)) {
    start = fromOrigin;
  }
  // Frames come out in presentation order: a frame without a time, or with one that does not
  // move on, follows the one before by its duration. Times that go back (repeated, or restarted)
  // cannot be sought by; one missing here and there (the last picture a decoder gives back) can.
  if (!start || (last_start_ && *start <= *last_start_)) {
    if (start) times_made_up_ = true;
    start = last_end_ ? *last_end_ : resume_at_;
  }
  int64_t end;
  if (__builtin_add_overflow(*start, duration, &end)) end = *start;
  last_start_ = start;
  last_end_ = end;
  bool first = at_start_;
  at_start_ = false;
  position_ = inSeconds(end);
  return DecodedFrame{frame_.get(), inSeconds(*start), inSeconds(end - *start), first};
}

int64_t StreamDecoder::unitsOf(double seconds) const {
  // Down, never to the nearest: a coarse time base must not put the target after its frame.
  return av_rescale_q_rnd(std::llround(seconds * AV_TIME_BASE), AV_TIME_BASE_Q,
                          media_->format()->streams[stream_]->time_base, AV_ROUND_DOWN);
}

bool StreamDecoder::seek(double seconds) {
  if (std::isnan(seconds)) return false;
  seconds = std::clamp(seconds, -kFarthestSeekSeconds, kFarthestSeekSeconds);
  double from = position_ ? CMTimeGetSeconds(*position_) : 0;
  bool ahead = (position_ || at_start_) && seconds >= from;
  if (times_made_up_) {
    // Times made from the rate count from the start: ahead is reached by decoding on, and
    // anything earlier only from the start again.
    return ahead || rewind();
  }
  int64_t target = unitsOf(seconds);
  if (!demuxerSeek(target)) {
    // A file that cannot seek by time is read on, or from its start.
    landing_.reset();
    return ahead || rewind();
  }
  landing_ = Landing{target, 0, false};
  resume_at_ = target;
  return true;
}

bool StreamDecoder::demuxerSeek(int64_t from) {
  AVFormatContext* format = media_->format();
  int64_t before = avio_tell(format->pb);
  int64_t at;
  if (__builtin_add_overflow(from, origin_, &at) ||
      av_seek_frame(format, stream_, at, AVSEEK_FLAG_BACKWARD) < 0) {
    // A demuxer may have read on while it looked: back to where it was.
    avio_seek(format->pb, before, SEEK_SET);
    return false;
  }
  avcodec_flush_buffers(context_.get());
  forgetWhereReadingWas();
  at_start_ = false;
  consecutive_failures_ = 0;
  return true;
}

bool StreamDecoder::startsLanding(const AVPacket& packet) {
  int64_t shown = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
  int64_t decoded = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
  auto fromOrigin = [this](int64_t stamp) {
    int64_t relative;
    return stamp == AV_NOPTS_VALUE || __builtin_sub_overflow(stamp, origin_, &relative)
               ? std::optional<int64_t>()
               : std::optional<int64_t>(relative);
  };
  // Any audio packet starts a decode; a picture needs a key frame.
  bool key = options_.kind == StreamKind::kAudio || (packet.flags & AV_PKT_FLAG_KEY) != 0;
  // A packet without a time (a program stream times only some) cannot tell where it lies.
  auto shownAt = fromOrigin(shown);
  if (key && shownAt && *shownAt <= landing_->target) {
    landing_->started = true;
    return true;
  }
  // Packets come in decoding order: once one decodes after the target, no key frame at or
  // before it follows.
  if (auto decodedAt = fromOrigin(decoded); decodedAt && *decodedAt > landing_->target) backOff();
  return false;
}

void StreamDecoder::backOff() {
  Landing landing{landing_->target, landing_->back_off, false};
  landing.back_off = std::max(unitsOf(1.0), landing.back_off * 2);
  int64_t from;
  if (__builtin_sub_overflow(landing.target, landing.back_off, &from) || from <= 0 ||
      !demuxerSeek(from)) {
    // Nothing earlier to land on: from the start, where decoding always may begin.
    landing_.reset();
    if (!rewind()) ended_ = draining_ = true;
    return;
  }
  landing_ = landing;
}

bool StreamDecoder::rewind() {
  auto fresh = open(media_->file(), options_);
  if (!fresh) {
    NSLog("A seek failed in the %s stream: decoding goes on where it was", kindName(options_.kind));
    return false;
  }
  std::swap(media_, fresh->media_);
  std::swap(stream_, fresh->stream_);
  std::swap(context_, fresh->context_);
  std::swap(packet_, fresh->packet_);
  std::swap(frame_, fresh->frame_);
  forgetWhereReadingWas();
  origin_ = fresh->origin_;
  landing_.reset();
  resume_at_ = 0;
  at_start_ = true;
  consecutive_failures_ = 0;
  return true;
}

}  // namespace avfoundation::internal
