// 10 ms of audio as the audio processing module hands it to custom processing: per-channel
// 32-bit float samples already in the 16-bit integer range.
#pragma once

#include <cstddef>
#include <vector>

class RTCAudioBuffer {
 public:
  RTCAudioBuffer(size_t channels, size_t frames)
      : frames_(frames), samples_(channels, std::vector<float>(frames, 0.0f)) {}

  size_t channels() const { return samples_.size(); }
  size_t frames() const { return frames_; }
  // Null for a channel the buffer does not have.
  float* rawBufferForChannel(size_t channel) {
    return channel < samples_.size() ? samples_[channel].data() : nullptr;
  }
  const float* rawBufferForChannel(size_t channel) const {
    return channel < samples_.size() ? samples_[channel].data() : nullptr;
  }

 private:
  size_t frames_;
  std::vector<std::vector<float>> samples_;
};
