#include "plugins/webrtc_host/audio_manager.h"

namespace webrtc_host {

std::shared_ptr<AudioManager> AudioManager::sharedInstance() {
  // Process-wide and never destroyed: audio threads may use it until the process ends.
  static auto* const instance = new std::shared_ptr<AudioManager>(std::make_shared<AudioManager>());
  return *instance;
}

AudioManager::AudioManager()
    : audio_processing_module_(std::make_shared<RTCDefaultAudioProcessingModule>()) {}

}  // namespace webrtc_host
