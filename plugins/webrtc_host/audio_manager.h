// The process-wide owner of the audio processing module that the peer-connection factory is
// built with.
#pragma once

#include <memory>

#include "platform/webrtc/rtc_default_audio_processing_module.h"

namespace webrtc_host {

class AudioManager {
 public:
  static std::shared_ptr<AudioManager> sharedInstance();

  AudioManager();
  const std::shared_ptr<RTCDefaultAudioProcessingModule>& audioProcessingModule() const {
    return audio_processing_module_;
  }

 private:
  std::shared_ptr<RTCDefaultAudioProcessingModule> audio_processing_module_;
};

}  // namespace webrtc_host
