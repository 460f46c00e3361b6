// Converts decoded audio to the format the null sink plays (interleaved 32-bit float, stereo,
// 48 kHz). Each frame is converted with its own channel layout, sample format and rate: a stream
// may change them at any frame, and the resampler is made again when it does. Not thread-safe.
#pragma once

#include <memory>
#include <vector>

#include "platform/avfoundation/internal/ffmpeg_handles.h"

struct SwrContext;

namespace avfoundation::internal {

class AudioConverter {
 public:
  static constexpr int kRate = 48000;
  static constexpr int kChannels = 2;
  // The most one frame may convert to (ten seconds): a frame claiming more is refused.
  static constexpr int kMaxFramesPerConversion = 10 * kRate;

  AudioConverter();
  ~AudioConverter();
  AudioConverter(const AudioConverter&) = delete;
  AudioConverter& operator=(const AudioConverter&) = delete;

  // Appends the frame's samples in the sink's format; false (nothing appended) when the frame
  // cannot be converted.
  bool convert(const AVFrame& frame, std::vector<float>* samples);
  // Forgets what the resampler holds back (after a seek).
  void reset();

 private:
  struct Input;
  bool configureFor(const AVFrame& frame);

  std::unique_ptr<Input> input_;
  SwrContext* resampler_ = nullptr;
};

}  // namespace avfoundation::internal
