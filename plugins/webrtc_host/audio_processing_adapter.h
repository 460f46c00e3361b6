// Fans the audio buffers of one stage of the audio processing module out to processors, which
// change the audio in place, and then to renderers, which each get their own 16-bit PCM copy.
// Callbacks run on the framework's audio thread; registration may come from any thread and
// waits for a buffer in progress. Processors and renderers must not register with the same
// adapter from inside a callback.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/webrtc/av_audio_pcm_buffer.h"
#include "platform/webrtc/rtc_audio_custom_processing_delegate.h"

namespace webrtc_host {

class AudioRenderer {
 public:
  virtual ~AudioRenderer() = default;
  virtual void renderPCMBuffer(const std::shared_ptr<webrtc::AVAudioPCMBuffer>& buffer) = 0;
};

class AudioProcessingAdapter : public RTCAudioCustomProcessingDelegate {
 public:
  // An object added twice is held twice; removing takes away every entry of it.
  void addProcessing(const std::shared_ptr<RTCAudioCustomProcessingDelegate>& processor);
  void removeProcessing(const std::shared_ptr<RTCAudioCustomProcessingDelegate>& processor);
  void addAudioRenderer(const std::shared_ptr<AudioRenderer>& renderer);
  void removeAudioRenderer(const std::shared_ptr<AudioRenderer>& renderer);

  void audioProcessingInitializeWithSampleRate(size_t sampleRateHz, size_t channels) override;
  void audioProcessingProcess(RTCAudioBuffer& audioBuffer) override;
  void audioProcessingRelease() override;

  // 16-bit PCM at frames x 100 Hz (the buffer holds 10 ms). Samples are truncated toward zero,
  // saturated to the 16-bit range, and NaN becomes 0. Null when no PCM buffer can be made.
  static std::shared_ptr<webrtc::AVAudioPCMBuffer> toPCMBuffer(const RTCAudioBuffer& buffer);

 private:
  std::mutex lock_;
  std::vector<std::shared_ptr<AudioRenderer>> renderers_;
  std::vector<std::shared_ptr<RTCAudioCustomProcessingDelegate>> processors_;
};

}  // namespace webrtc_host
