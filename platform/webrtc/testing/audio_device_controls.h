// Test controls for the audio device module: its devices, failing statuses and raw mute mode.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/webrtc/rtc_audio_device_module.h"

namespace webrtc::testing {

enum class AudioDeviceOperation { startRecording, stopRecording, setMuteMode, setMicrophoneMuted };

// Replaces the device lists and tells the observer, from a thread of the framework; waits until
// it was told.
void setAudioDevices(RTCAudioDeviceModule& module, std::vector<RTCAudioDevice> inputs,
                     std::vector<RTCAudioDevice> outputs);
// The next call of `operation` answers `status` and changes nothing.
void failNextAudioDeviceOperation(RTCAudioDeviceModule& module, AudioDeviceOperation operation,
                                  int32_t status);
// The mode the module reports, even one outside the enumeration.
void setReportedMuteMode(RTCAudioDeviceModule& module, int mode);
void setVoiceProcessingAllowed(RTCAudioDeviceModule& module, bool allowed);

}  // namespace webrtc::testing
