#include "platform/webrtc/testing/audio_device_controls.h"
#include "platform/webrtc/testing/bounded_wait.h"

#include "platform/dispatch/dispatch.h"

class RTCAudioDeviceModuleControl {
 public:
  using Operation = RTCAudioDeviceModule::Operation;

  static void setDevices(RTCAudioDeviceModule& module, std::vector<RTCAudioDevice> inputs,
                         std::vector<RTCAudioDevice> outputs) {
    std::lock_guard lock(module.mutex_);
    module.input_devices_ = std::move(inputs);
    module.output_devices_ = std::move(outputs);
  }
  static void fail(RTCAudioDeviceModule& module, Operation operation, int32_t status) {
    std::lock_guard lock(module.mutex_);
    module.injected_statuses_.emplace_back(operation, status);
  }
  static void muteMode(RTCAudioDeviceModule& module, int mode) {
    std::lock_guard lock(module.mutex_);
    module.mute_mode_ = mode;
  }
  static void voiceProcessingAllowed(RTCAudioDeviceModule& module, bool allowed) {
    std::lock_guard lock(module.mutex_);
    module.voice_processing_allowed_ = allowed;
  }
};

namespace webrtc::testing {

void setAudioDevices(RTCAudioDeviceModule& module, std::vector<RTCAudioDevice> inputs,
                     std::vector<RTCAudioDevice> outputs) {
  RTCAudioDeviceModuleControl::setDevices(module, std::move(inputs), std::move(outputs));
  auto observer = module.observer().lock();
  if (!observer) return;
  runOnQueueAndWait(
      dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
      [&module, observer] { observer->audioDeviceModuleDidUpdateDevices(module); },
      "a device change");
}

void failNextAudioDeviceOperation(RTCAudioDeviceModule& module, AudioDeviceOperation operation,
                                  int32_t status) {
  using Operation = RTCAudioDeviceModuleControl::Operation;
  Operation target = Operation::startRecording;
  switch (operation) {
    case AudioDeviceOperation::startRecording:
      target = Operation::startRecording;
      break;
    case AudioDeviceOperation::stopRecording:
      target = Operation::stopRecording;
      break;
    case AudioDeviceOperation::setMuteMode:
      target = Operation::setMuteMode;
      break;
    case AudioDeviceOperation::setMicrophoneMuted:
      target = Operation::setMicrophoneMuted;
      break;
  }
  RTCAudioDeviceModuleControl::fail(module, target, status);
}

void setReportedMuteMode(RTCAudioDeviceModule& module, int mode) {
  RTCAudioDeviceModuleControl::muteMode(module, mode);
}

void setVoiceProcessingAllowed(RTCAudioDeviceModule& module, bool allowed) {
  RTCAudioDeviceModuleControl::voiceProcessingAllowed(module, allowed);
}

}  // namespace webrtc::testing
