#include "platform/webrtc/rtc_audio_device_module.h"

#include <algorithm>

RTCAudioDeviceModule::RTCAudioDeviceModule(bool bypassVoiceProcessing)
    : input_devices_{{"BuiltInMicrophoneDevice", "Built-in Microphone"}},
      output_devices_{{"BuiltInSpeakerDevice", "Built-in Speakers"}},
      voice_processing_bypassed_(bypassVoiceProcessing) {}

std::weak_ptr<RTCAudioDeviceModuleDelegate> RTCAudioDeviceModule::observer() const {
  std::lock_guard lock(mutex_);
  return observer_;
}

void RTCAudioDeviceModule::setObserver(std::weak_ptr<RTCAudioDeviceModuleDelegate> observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

std::vector<RTCAudioDevice> RTCAudioDeviceModule::inputDevices() const {
  std::lock_guard lock(mutex_);
  return input_devices_;
}

std::vector<RTCAudioDevice> RTCAudioDeviceModule::outputDevices() const {
  std::lock_guard lock(mutex_);
  return output_devices_;
}

std::optional<RTCAudioDevice> RTCAudioDeviceModule::inputDevice() const {
  std::lock_guard lock(mutex_);
  return input_device_;
}

std::optional<RTCAudioDevice> RTCAudioDeviceModule::outputDevice() const {
  std::lock_guard lock(mutex_);
  return output_device_;
}

bool RTCAudioDeviceModule::setInputDevice(const RTCAudioDevice& device) {
  std::lock_guard lock(mutex_);
  if (std::find(input_devices_.begin(), input_devices_.end(), device) == input_devices_.end()) {
    return false;
  }
  input_device_ = device;
  return true;
}

bool RTCAudioDeviceModule::setOutputDevice(const RTCAudioDevice& device) {
  std::lock_guard lock(mutex_);
  if (std::find(output_devices_.begin(), output_devices_.end(), device) == output_devices_.end()) {
    return false;
  }
  output_device_ = device;
  return true;
}

int32_t RTCAudioDeviceModule::takeStatus(Operation operation) {
  auto found = std::find_if(injected_statuses_.begin(), injected_statuses_.end(),
                            [operation](const auto& entry) { return entry.first == operation; });
  if (found == injected_statuses_.end()) return 0;
  int32_t status = found->second;
  injected_statuses_.erase(found);
  return status;
}

int32_t RTCAudioDeviceModule::initAndStartRecording() {
  std::lock_guard lock(mutex_);
  int32_t status = takeStatus(Operation::startRecording);
  if (status == 0) recording_ = true;
  return status;
}

int32_t RTCAudioDeviceModule::stopRecording() {
  std::lock_guard lock(mutex_);
  int32_t status = takeStatus(Operation::stopRecording);
  if (status == 0) recording_ = false;
  return status;
}

bool RTCAudioDeviceModule::isRecording() const {
  std::lock_guard lock(mutex_);
  return recording_;
}

bool RTCAudioDeviceModule::isPlatformVoiceProcessingAllowed() const {
  std::lock_guard lock(mutex_);
  return voice_processing_allowed_;
}

bool RTCAudioDeviceModule::isVoiceProcessingBypassed() const {
  std::lock_guard lock(mutex_);
  return voice_processing_bypassed_;
}

void RTCAudioDeviceModule::setVoiceProcessingBypassed(bool bypassed) {
  std::lock_guard lock(mutex_);
  voice_processing_bypassed_ = bypassed;
}

int RTCAudioDeviceModule::muteMode() const {
  std::lock_guard lock(mutex_);
  return mute_mode_;
}

int32_t RTCAudioDeviceModule::setMuteMode(int mode) {
  std::lock_guard lock(mutex_);
  int32_t status = takeStatus(Operation::setMuteMode);
  if (status != 0) return status;
  if (mode < RTCAudioEngineMuteModeVoiceProcessing || mode > RTCAudioEngineMuteModeInputMixer) {
    return -1;
  }
  mute_mode_ = mode;
  return 0;
}

bool RTCAudioDeviceModule::isMicrophoneMuted() const {
  std::lock_guard lock(mutex_);
  return microphone_muted_;
}

int32_t RTCAudioDeviceModule::setMicrophoneMuted(bool muted) {
  std::lock_guard lock(mutex_);
  int32_t status = takeStatus(Operation::setMicrophoneMuted);
  if (status == 0) microphone_muted_ = muted;
  return status;
}
