#include "platform/avfoundation/internal/audio_converter.h"

#include <new>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace avfoundation::internal {
namespace {

// Beyond what any audio interface carries: a frame claiming more channels or a faster rate is
// damaged.
constexpr int kMaxChannels = 64;
constexpr int kMaxRate = 768000;

}  // namespace

// What the resampler was made for.
struct AudioConverter::Input {
  AVChannelLayout layout{};
  int format = AV_SAMPLE_FMT_NONE;
  int rate = 0;
  ~Input() { av_channel_layout_uninit(&layout); }
};

AudioConverter::AudioConverter() = default;

AudioConverter::~AudioConverter() { swr_free(&resampler_); }

void AudioConverter::reset() {
  swr_free(&resampler_);
  input_.reset();
}

bool AudioConverter::configureFor(const AVFrame& frame) {
  int channels = frame.ch_layout.nb_channels;
  if (channels <= 0 || channels > kMaxChannels || frame.sample_rate <= 0 ||
      frame.sample_rate > kMaxRate || av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame.format)) <= 0) {
    return false;
  }
  if (input_ && resampler_ && input_->format == frame.format && input_->rate == frame.sample_rate &&
      av_channel_layout_compare(&input_->layout, &frame.ch_layout) == 0) {
    return true;
  }
  reset();
  auto input = std::make_unique<Input>();
  // A layout that names no channels is taken as the usual one for its channel count.
  if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
      av_channel_layout_copy(&input->layout, &frame.ch_layout) < 0) {
    av_channel_layout_uninit(&input->layout);
    av_channel_layout_default(&input->layout, channels);
  }
  input->format = frame.format;
  input->rate = frame.sample_rate;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  if (swr_alloc_set_opts2(&resampler_, &stereo, AV_SAMPLE_FMT_FLT, kRate, &input->layout,
                          static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0,
                          nullptr) < 0 ||
      swr_init(resampler_) < 0) {
    swr_free(&resampler_);
    return false;
  }
  // Compared against the frame's own layout next time, whatever was made of it.
  av_channel_layout_uninit(&input->layout);
  if (av_channel_layout_copy(&input->layout, &frame.ch_layout) < 0) {
    swr_free(&resampler_);
    return false;
  }
  input_ = std::move(input);
  return true;
}

bool AudioConverter::convert(const AVFrame& frame, std::vector<float>* samples) {
  if (frame.nb_samples <= 0 || frame.extended_data == nullptr || !configureFor(frame)) return false;
  int most = swr_get_out_samples(resampler_, frame.nb_samples);
  if (most < 0 || most > kMaxFramesPerConversion) return false;
  size_t base = samples->size();
  try {
    samples->resize(base + static_cast<size_t>(most) * kChannels);
  } catch (const std::bad_alloc&) {
    // No memory for this frame's samples: it is skipped, as a frame that cannot be converted.
    return false;
  }
  uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples->data() + base)};
  int converted = swr_convert(resampler_, out, most,
                              const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
  if (converted < 0) {
    samples->resize(base);
    return false;
  }
  samples->resize(base + static_cast<size_t>(converted) * kChannels);
  return true;
}

}  // namespace avfoundation::internal
