// The process-wide owner of the audio processing module that the peer-connection factory is
// built with, and of the two adapters hooked into it: after capture processing (outgoing audio)
// and before render processing (incoming audio).
#pragma once

#include <memory>

#include "platform/webrtc/rtc_default_audio_processing_module.h"
#include "plugins/webrtc_host/audio_processing_adapter.h"

namespace webrtc_host {

class AudioManager {
 public:
  static std::shared_ptr<AudioManager> sharedInstance();

  AudioManager();
  const std::shared_ptr<RTCDefaultAudioProcessingModule>& audioProcessingModule() const {
    return audio_processing_module_;
  }
  const std::shared_ptr<AudioProcessingAdapter>& capturePostProcessingAdapter() const {
    return capture_post_processing_adapter_;
  }
  const std::shared_ptr<AudioProcessingAdapter>& renderPreProcessingAdapter() const {
    return render_pre_processing_adapter_;
  }

  void addLocalAudioRenderer(const std::shared_ptr<AudioRenderer>& renderer) {
    capture_post_processing_adapter_->addAudioRenderer(renderer);
  }
  void removeLocalAudioRenderer(const std::shared_ptr<AudioRenderer>& renderer) {
    capture_post_processing_adapter_->removeAudioRenderer(renderer);
  }
  void addRemoteAudioSink(const std::shared_ptr<AudioRenderer>& renderer) {
    render_pre_processing_adapter_->addAudioRenderer(renderer);
  }
  void removeRemoteAudioSink(const std::shared_ptr<AudioRenderer>& renderer) {
    render_pre_processing_adapter_->removeAudioRenderer(renderer);
  }

 private:
  std::shared_ptr<RTCDefaultAudioProcessingModule> audio_processing_module_;
  std::shared_ptr<AudioProcessingAdapter> capture_post_processing_adapter_;
  std::shared_ptr<AudioProcessingAdapter> render_pre_processing_adapter_;
};

}  // namespace webrtc_host
