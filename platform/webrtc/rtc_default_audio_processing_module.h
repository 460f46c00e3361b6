// The framework's audio processing module, handed to the peer-connection factory. Custom
// processing runs after capture processing (outgoing audio) and before render processing
// (incoming audio); the module holds its delegates strongly.
#pragma once

#include <memory>
#include <mutex>

#include "platform/webrtc/rtc_audio_custom_processing_delegate.h"

class RTCDefaultAudioProcessingModule {
 public:
  RTCDefaultAudioProcessingModule() = default;
  RTCDefaultAudioProcessingModule(const RTCDefaultAudioProcessingModule&) = delete;
  RTCDefaultAudioProcessingModule& operator=(const RTCDefaultAudioProcessingModule&) = delete;

  std::shared_ptr<RTCAudioCustomProcessingDelegate> capturePostProcessingDelegate() const {
    std::lock_guard lock(mutex_);
    return capture_post_;
  }
  void setCapturePostProcessingDelegate(std::shared_ptr<RTCAudioCustomProcessingDelegate> d) {
    std::lock_guard lock(mutex_);
    capture_post_ = std::move(d);
  }
  std::shared_ptr<RTCAudioCustomProcessingDelegate> renderPreProcessingDelegate() const {
    std::lock_guard lock(mutex_);
    return render_pre_;
  }
  void setRenderPreProcessingDelegate(std::shared_ptr<RTCAudioCustomProcessingDelegate> d) {
    std::lock_guard lock(mutex_);
    render_pre_ = std::move(d);
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<RTCAudioCustomProcessingDelegate> capture_post_;
  std::shared_ptr<RTCAudioCustomProcessingDelegate> render_pre_;
};
