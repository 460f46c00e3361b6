// The audio device module: audio devices, recording, voice processing and microphone muting.
// Its mutating operations answer a status, 0 for success. Safe to call from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct RTCAudioDevice {
  std::string deviceId;
  std::string name;
  friend bool operator==(const RTCAudioDevice&, const RTCAudioDevice&) = default;
};

class RTCAudioDeviceModule;

class RTCAudioDeviceModuleDelegate {
 public:
  virtual ~RTCAudioDeviceModuleDelegate() = default;
  // The device lists changed; called on a thread of the framework.
  virtual void audioDeviceModuleDidUpdateDevices(RTCAudioDeviceModule& audioDeviceModule) = 0;
};

// Microphone mute modes.
enum RTCAudioEngineMuteMode : int {
  RTCAudioEngineMuteModeUnknown = -1,
  RTCAudioEngineMuteModeVoiceProcessing = 0,
  RTCAudioEngineMuteModeRestartEngine = 1,
  RTCAudioEngineMuteModeInputMixer = 2,
};

class RTCAudioDeviceModule {
 public:
  explicit RTCAudioDeviceModule(bool bypassVoiceProcessing);
  RTCAudioDeviceModule(const RTCAudioDeviceModule&) = delete;
  RTCAudioDeviceModule& operator=(const RTCAudioDeviceModule&) = delete;

  std::weak_ptr<RTCAudioDeviceModuleDelegate> observer() const;
  void setObserver(std::weak_ptr<RTCAudioDeviceModuleDelegate> observer);

  std::vector<RTCAudioDevice> inputDevices() const;
  std::vector<RTCAudioDevice> outputDevices() const;
  std::optional<RTCAudioDevice> inputDevice() const;
  std::optional<RTCAudioDevice> outputDevice() const;
  // False for a device the module does not have.
  bool setInputDevice(const RTCAudioDevice& device);
  bool setOutputDevice(const RTCAudioDevice& device);

  int32_t initAndStartRecording();
  int32_t stopRecording();
  bool isRecording() const;

  bool isPlatformVoiceProcessingAllowed() const;
  bool isVoiceProcessingBypassed() const;
  void setVoiceProcessingBypassed(bool bypassed);

  // The mode as the module keeps it; values outside the enumeration are possible.
  int muteMode() const;
  int32_t setMuteMode(int mode);
  bool isMicrophoneMuted() const;
  int32_t setMicrophoneMuted(bool muted);

 private:
  friend class RTCAudioDeviceModuleControl;
  enum class Operation { startRecording, stopRecording, setMuteMode, setMicrophoneMuted };

  // The injected status of the next call of `operation`, consumed; 0 when none.
  int32_t takeStatus(Operation operation);

  mutable std::mutex mutex_;
  std::weak_ptr<RTCAudioDeviceModuleDelegate> observer_;
  std::vector<RTCAudioDevice> input_devices_;
  std::vector<RTCAudioDevice> output_devices_;
  std::optional<RTCAudioDevice> input_device_;
  std::optional<RTCAudioDevice> output_device_;
  bool recording_ = false;
  bool voice_processing_allowed_ = true;
  bool voice_processing_bypassed_;
  int mute_mode_ = RTCAudioEngineMuteModeVoiceProcessing;
  bool microphone_muted_ = false;
  std::vector<std::pair<Operation, int32_t>> injected_statuses_;
};
