#include "plugins/webrtc_host/audio_manager.h"

namespace webrtc_host {

std::shared_ptr<AudioManager> AudioManager::sharedInstance() {
  // Process-wide and never destroyed: audio threads may use it until the process ends.
  static auto* const instance = new std::shared_ptr<AudioManager>(std::make_shared<AudioManager>());
  return *instance;
}

AudioManager::AudioManager()
    : audio_processing_module_(std::make_shared<RTCDefaultAudioProcessingModule>()),
      capture_post_processing_adapter_(std::make_shared<AudioProcessingAdapter>()),
      render_pre_processing_adapter_(std::make_shared<AudioProcessingAdapter>()) {
  audio_processing_module_->setCapturePostProcessingDelegate(capture_post_processing_adapter_);
  audio_processing_module_->setRenderPreProcessingDelegate(render_pre_processing_adapter_);
}

}  // namespace webrtc_host
