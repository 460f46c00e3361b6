// PCM audio buffers as custom audio processing hands them on: a format and non-interleaved
// 16-bit channels.
//
// The types belong to AVFoundation; these are the WebRTC library's own, kept in its namespace
// so that they never clash with AVFoundation's.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace webrtc {

enum AVAudioCommonFormat : int {
  AVAudioOtherFormat = 0,
  AVAudioPCMFormatFloat32 = 1,
  AVAudioPCMFormatFloat64 = 2,
  AVAudioPCMFormatInt16 = 3,
  AVAudioPCMFormatInt32 = 4,
};

struct AVAudioFormat {
  AVAudioCommonFormat commonFormat = AVAudioPCMFormatInt16;
  double sampleRate = 0;
  uint32_t channelCount = 0;
  bool interleaved = false;
};

class AVAudioPCMBuffer {
 public:
  // Null unless the format is non-interleaved 16-bit PCM with 1 to 64 channels, a positive
  // sample rate and a capacity of at most 10 seconds.
  static std::shared_ptr<AVAudioPCMBuffer> initWithPCMFormat(const AVAudioFormat& format,
                                                             uint32_t frameCapacity);
  AVAudioPCMBuffer(const AVAudioFormat& format, uint32_t frameCapacity);

  const AVAudioFormat& format() const { return format_; }
  uint32_t frameCapacity() const { return frame_capacity_; }
  uint32_t frameLength() const { return frame_length_; }
  // Clamped to the capacity.
  void setFrameLength(uint32_t length) {
    frame_length_ = length < frame_capacity_ ? length : frame_capacity_;
  }
  int16_t* int16ChannelData(uint32_t channel) {
    return channel < channels_.size() ? channels_[channel].data() : nullptr;
  }
  const int16_t* int16ChannelData(uint32_t channel) const {
    return channel < channels_.size() ? channels_[channel].data() : nullptr;
  }

 private:
  AVAudioFormat format_;
  uint32_t frame_capacity_;
  uint32_t frame_length_ = 0;
  std::vector<std::vector<int16_t>> channels_;
};

inline std::shared_ptr<AVAudioPCMBuffer> AVAudioPCMBuffer::initWithPCMFormat(
    const AVAudioFormat& format, uint32_t frameCapacity) {
  const bool valid = format.commonFormat == AVAudioPCMFormatInt16 && !format.interleaved &&
                     format.channelCount >= 1 && format.channelCount <= 64 &&
                     format.sampleRate > 0 && frameCapacity <= format.sampleRate * 10;
  return valid ? std::make_shared<AVAudioPCMBuffer>(format, frameCapacity) : nullptr;
}

inline AVAudioPCMBuffer::AVAudioPCMBuffer(const AVAudioFormat& format, uint32_t frameCapacity)
    : format_(format),
      frame_capacity_(frameCapacity),
      channels_(format.channelCount, std::vector<int16_t>(frameCapacity, 0)) {}

}  // namespace webrtc
