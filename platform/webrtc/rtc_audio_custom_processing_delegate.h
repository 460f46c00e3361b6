// Custom audio processing hooked into the audio processing module; called on its audio thread.
#pragma once

#include <cstddef>

#include "platform/webrtc/rtc_audio_buffer.h"

class RTCAudioCustomProcessingDelegate {
 public:
  virtual ~RTCAudioCustomProcessingDelegate() = default;
  virtual void audioProcessingInitializeWithSampleRate(size_t sampleRateHz, size_t channels) = 0;
  // May change the buffer in place.
  virtual void audioProcessingProcess(RTCAudioBuffer& audioBuffer) = 0;
  virtual void audioProcessingRelease() = 0;
};
