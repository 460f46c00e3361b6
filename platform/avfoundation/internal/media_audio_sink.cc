#include "platform/avfoundation/internal/media_audio_sink.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswresample/swresample.h>
}

#include "platform/avfoundation/internal/stream_decoder.h"

namespace avfoundation::internal {
namespace {

// Decoded ahead of the item's time, at most.
constexpr double kLeadSeconds = 0.2;

struct ResamplerDeleter {
  void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};

// Converts decoded audio to interleaved float samples at its own rate and layout.
std::unique_ptr<SwrContext, ResamplerDeleter> floatConverter(const AVCodecContext& codec) {
  // This FFmpeg takes the layout by a non-const pointer.
  AVChannelLayout layout{};
  if (av_channel_layout_copy(&layout, &codec.ch_layout) < 0) return nullptr;
  SwrContext* made = nullptr;
  int status = swr_alloc_set_opts2(&made, &layout, AV_SAMPLE_FMT_FLT, codec.sample_rate, &layout,
                                   codec.sample_fmt, codec.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&layout);
  if (status < 0 || swr_init(made) < 0) {
    swr_free(&made);
    return nullptr;
  }
  return std::unique_ptr<SwrContext, ResamplerDeleter>(made);
}

}  // namespace

MediaAudioSink::MediaAudioSink(std::string path, AudioSinkSource source)
    : path_(std::move(path)), source_(std::move(source)) {}

void MediaAudioSink::run() {
  auto decoder = StreamDecoder::open(path_, StreamKind::kAudio);
  if (!decoder || decoder->codec().sample_rate <= 0) return;
  auto resampler = floatConverter(decoder->codec());
  if (!resampler) return;
  const int sampleRate = decoder->codec().sample_rate;
  const int channels = decoder->codec().ch_layout.nb_channels;
  std::vector<float> samples;
  ItemTimeJumps jumps;
  double decodedUntil = 0;
  bool ended = false;

  while (worker_.rest()) {
    auto now = source_.itemTime();
    if (!now) return;
    if (jumps.jumped(*now, decodedUntil)) {
      decoder->seek(*now);
      decodedUntil = *now;
      ended = false;
    }
    // Decode (and consume) what the item's time has reached, a little ahead.
    while (!ended && decodedUntil < *now + kLeadSeconds) {
      const AVFrame* frame = decoder->next();
      if (frame == nullptr) {
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
      CMTime start = decoder->presentationTime();
      decodedUntil = (CMTIME_IS_INVALID(start) ? decodedUntil : CMTimeGetSeconds(start)) +
                     static_cast<double>(frame->nb_samples) / sampleRate;
    }
  }
}

}  // namespace avfoundation::internal
