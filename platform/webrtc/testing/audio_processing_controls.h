// Test controls for the audio processing module: run its custom processing on an audio thread
// of the framework, as captured or received audio would.
#pragma once

#include <cstddef>

#include "platform/webrtc/rtc_default_audio_processing_module.h"

namespace webrtc::testing {

enum class AudioProcessingStage { capturePost, renderPre };

// Each runs the stage's delegate (if any) on the audio thread and waits for it.
void initializeAudioProcessing(RTCDefaultAudioProcessingModule& module,
                               AudioProcessingStage stage, size_t sampleRateHz, size_t channels);
void processAudio(RTCDefaultAudioProcessingModule& module, AudioProcessingStage stage,
                  RTCAudioBuffer& buffer);
void releaseAudioProcessing(RTCDefaultAudioProcessingModule& module, AudioProcessingStage stage);

}  // namespace webrtc::testing
