#include "platform/avfoundation/internal/media_audio_sink.h"

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include "platform/avfoundation/internal/ffmpeg_handles.h"
#include "platform/avfoundation/internal/media_file.h"

namespace avfoundation::internal {
namespace {

constexpr auto kIdleWait = std::chrono::milliseconds(5);
// Decoded ahead of the item's time, at most.
constexpr double kLeadSeconds = 0.2;
constexpr double kBackwardJumpSeconds = 0.05;
constexpr double kForwardJumpSeconds = 1.0;

struct ResamplerDeleter {
  void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};

}  // namespace

MediaAudioSink::MediaAudioSink(std::string path, AudioSinkSource source)
    : path_(std::move(path)), source_(std::move(source)), thread_([this] { run(); }) {}

MediaAudioSink::~MediaAudioSink() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool MediaAudioSink::pause() {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, kIdleWait, [this] { return stopped_; });
  return !stopped_;
}

void MediaAudioSink::run() {
  NSError error;
  auto file = MediaFile::open(path_, &error);
  if (!file) return;
  AVFormatContext* format = file->format();
  const AVCodec* codec = nullptr;
  int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (stream < 0 || codec == nullptr) return;
  std::unique_ptr<AVCodecContext, CodecContextDeleter> context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), format->streams[stream]->codecpar) < 0 ||
      avcodec_open2(context.get(), codec, nullptr) < 0 || context->sample_rate <= 0) {
    return;
  }
  SwrContext* made = nullptr;
  if (swr_alloc_set_opts2(&made, &context->ch_layout, AV_SAMPLE_FMT_FLT, context->sample_rate,
                          &context->ch_layout, context->sample_fmt, context->sample_rate, 0,
                          nullptr) < 0 ||
      swr_init(made) < 0) {
    swr_free(&made);
    return;
  }
  std::unique_ptr<SwrContext, ResamplerDeleter> resampler(made);
  std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
  const AVRational timeBase = format->streams[stream]->time_base;
  const int channels = context->ch_layout.nb_channels;
  std::vector<float> samples;
  double decodedUntil = 0, previousTime = 0;
  bool ended = false, draining = false;

  while (pause()) {
    auto now = source_.itemTime();
    if (!now) return;
    bool jumpedBack = *now < previousTime - kBackwardJumpSeconds;
    bool jumpedAhead = *now > decodedUntil + kForwardJumpSeconds;
    previousTime = *now;
    if (jumpedBack || jumpedAhead) {
      av_seek_frame(format, stream, av_rescale_q(static_cast<int64_t>(*now * AV_TIME_BASE),
                                                 AV_TIME_BASE_Q, timeBase),
                    AVSEEK_FLAG_BACKWARD);
      avcodec_flush_buffers(context.get());
      decodedUntil = *now;
      ended = draining = false;
    }
    // Decode (and consume) what the item's time has reached, a little ahead.
    while (!ended && decodedUntil < *now + kLeadSeconds) {
      int received = avcodec_receive_frame(context.get(), frame.get());
      if (received == AVERROR(EAGAIN) && !draining) {
        if (av_read_frame(format, packet.get()) < 0) {
          draining = true;
          avcodec_send_packet(context.get(), nullptr);
        } else {
          if (packet->stream_index == stream) avcodec_send_packet(context.get(), packet.get());
          av_packet_unref(packet.get());
        }
        continue;
      }
      if (received < 0) {
        ended = true;
        break;
      }
      samples.resize(static_cast<size_t>(frame->nb_samples) * static_cast<size_t>(channels));
      uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples.data())};
      int converted = swr_convert(resampler.get(), out, frame->nb_samples,
                                  const_cast<const uint8_t**>(frame->extended_data),
                                  frame->nb_samples);
      float volume = source_.volume();
      float peak = 0;
      for (size_t i = 0; converted > 0 && i < static_cast<size_t>(converted) * channels; ++i) {
        samples[i] *= volume;
        peak = std::max(peak, std::fabs(samples[i]));
      }
      if (converted > 0) frames_consumed_.fetch_add(converted, std::memory_order_acq_rel);
      last_peak_.store(peak, std::memory_order_release);
      int64_t pts = frame->best_effort_timestamp;
      double start = pts == AV_NOPTS_VALUE ? decodedUntil : static_cast<double>(pts) * av_q2d(timeBase);
      decodedUntil = start + static_cast<double>(frame->nb_samples) / context->sample_rate;
      av_frame_unref(frame.get());
    }
  }
}

}  // namespace avfoundation::internal
