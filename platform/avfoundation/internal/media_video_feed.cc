#include "platform/avfoundation/internal/media_video_feed.h"

#include <chrono>
#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "platform/avfoundation/internal/ffmpeg_handles.h"
#include "platform/avfoundation/internal/media_file.h"

namespace avfoundation::internal {
namespace {

// How long the feed sleeps when it has nothing to do, at most.
constexpr auto kIdleWait = std::chrono::milliseconds(5);
// The item's time moving back by more than this, or ahead of the decoding by more than
// kForwardJumpSeconds, seeks the decoder instead of decoding through.
constexpr double kBackwardJumpSeconds = 0.05;
constexpr double kForwardJumpSeconds = 1.0;

struct ScalerDeleter {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

// One open video stream with its decoder and its converter to BGRA.
class VideoDecoder {
 public:
  static std::unique_ptr<VideoDecoder> open(const std::string& path) {
    NSError error;
    auto file = MediaFile::open(path, &error);
    if (!file) return nullptr;
    AVFormatContext* format = file->format();
    const AVCodec* codec = nullptr;
    int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream < 0 || codec == nullptr) return nullptr;
    std::unique_ptr<AVCodecContext, CodecContextDeleter> context(avcodec_alloc_context3(codec));
    if (!context ||
        avcodec_parameters_to_context(context.get(), format->streams[stream]->codecpar) < 0) {
      return nullptr;
    }
#if defined(__SANITIZE_THREAD__)
    // FFmpeg's own threads synchronise through atomics built without ThreadSanitizer, which it
    // would report as races: that build decodes on the feed's thread alone.
    context->thread_count = 1;
#else
    context->thread_count = 0;  // as many as the machine offers
#endif
    if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
    return std::unique_ptr<VideoDecoder>(
        new VideoDecoder(std::move(file), stream, std::move(context)));
  }

  // The next frame, converted; nullptr at the end of the stream or on an error.
  CVPixelBufferRef next(CMTime* time) {
    while (true) {
      int received = avcodec_receive_frame(context_.get(), frame_.get());
      if (received == 0) {
        CVPixelBufferRef converted = convert();
        *time = presentationTime();
        av_frame_unref(frame_.get());
        if (converted) return converted;
        continue;
      }
      if (received != AVERROR(EAGAIN)) return nullptr;
      if (draining_) return nullptr;
      int read = av_read_frame(file_->format(), packet_.get());
      if (read < 0) {
        draining_ = true;
        avcodec_send_packet(context_.get(), nullptr);
        continue;
      }
      if (packet_->stream_index == stream_) avcodec_send_packet(context_.get(), packet_.get());
      av_packet_unref(packet_.get());
    }
  }

  void seek(double seconds) {
    const AVStream* stream = file_->format()->streams[stream_];
    int64_t target = av_rescale_q(static_cast<int64_t>(seconds * AV_TIME_BASE), AV_TIME_BASE_Q,
                                  stream->time_base);
    if (stream->start_time != AV_NOPTS_VALUE) target += stream->start_time;
    av_seek_frame(file_->format(), stream_, target, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(context_.get());
    draining_ = false;
  }

 private:
  VideoDecoder(std::unique_ptr<MediaFile> file, int stream,
               std::unique_ptr<AVCodecContext, CodecContextDeleter> context)
      : file_(std::move(file)),
        stream_(stream),
        context_(std::move(context)),
        packet_(av_packet_alloc()),
        frame_(av_frame_alloc()) {}

  // In the stream's own time base, so that frame times compare exactly with item times.
  CMTime presentationTime() const {
    const AVStream* stream = file_->format()->streams[stream_];
    int64_t pts = frame_->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) pts = frame_->pts;
    if (pts == AV_NOPTS_VALUE) return kCMTimeZero;
    if (stream->start_time != AV_NOPTS_VALUE) pts -= stream->start_time;
    AVRational base = stream->time_base;
    if (base.den <= 0 || base.num <= 0 || base.num > 1000000) return kCMTimeZero;
    return CMTimeMake(pts * base.num, base.den);
  }

  CVPixelBufferRef convert() {
    if (frame_->width <= 0 || frame_->height <= 0) return nullptr;
    scaler_.reset(sws_getCachedContext(scaler_.release(), frame_->width, frame_->height,
                                       static_cast<AVPixelFormat>(frame_->format), frame_->width,
                                       frame_->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr,
                                       nullptr, nullptr));
    if (!scaler_) return nullptr;
    CVPixelBufferRef buffer;
    if (CVPixelBufferCreate(static_cast<size_t>(frame_->width), static_cast<size_t>(frame_->height),
                            kCVPixelFormatType_32BGRA, &buffer) != kCVReturnSuccess) {
      return nullptr;
    }
    uint8_t* planes[4] = {buffer->baseAddress(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(buffer->bytesPerRow()), 0, 0, 0};
    sws_scale(scaler_.get(), frame_->data, frame_->linesize, 0, frame_->height, planes, strides);
    return buffer;
  }

  std::unique_ptr<MediaFile> file_;
  int stream_;
  std::unique_ptr<AVCodecContext, CodecContextDeleter> context_;
  std::unique_ptr<AVPacket, PacketDeleter> packet_;
  std::unique_ptr<AVFrame, FrameDeleter> frame_;
  std::unique_ptr<SwsContext, ScalerDeleter> scaler_;
  bool draining_ = false;
};

}  // namespace

MediaVideoFeed::MediaVideoFeed(std::string path, VideoFeedSink sink)
    : path_(std::move(path)), sink_(std::move(sink)), thread_([this] { run(); }) {}

MediaVideoFeed::~MediaVideoFeed() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void MediaVideoFeed::wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  changed_.notify_all();
}

bool MediaVideoFeed::pause() {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, kIdleWait, [this] { return stopped_ || woken_; });
  woken_ = false;
  return !stopped_;
}

void MediaVideoFeed::run() {
  auto decoder = VideoDecoder::open(path_);
  if (!decoder) return;
  double previousTime = 0;
  double lastDelivered = -1;
  bool ended = false;
  while (true) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
    }
    auto now = sink_.itemTime();
    if (!now) return;
    bool jumpedBack = *now < previousTime - kBackwardJumpSeconds;
    bool jumpedAhead = lastDelivered >= 0 && *now > lastDelivered + kForwardJumpSeconds;
    previousTime = *now;
    if (jumpedBack || jumpedAhead) {
      decoder->seek(*now);
      sink_.discardAll();
      lastDelivered = -1;
      ended = false;
    }
    if (ended || sink_.framesAhead(*now) >= kVideoFramesAhead) {
      if (!pause()) return;
      continue;
    }
    CMTime time = kCMTimeZero;
    CVPixelBufferRef frame = decoder->next(&time);
    if (!frame) {
      ended = true;
      continue;
    }
    lastDelivered = CMTimeGetSeconds(time);
    sink_.deliver(time, std::move(frame));
  }
}

}  // namespace avfoundation::internal
