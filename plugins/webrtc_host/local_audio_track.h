// A local audio track. Its renderers and processors hook into the process-wide capture
// processing, so they apply to all captured audio, not to this one track.
#pragma once

#include <memory>

#include "platform/webrtc/rtc_audio_track.h"
#include "plugins/webrtc_host/audio_manager.h"
#include "plugins/webrtc_host/local_track.h"

namespace webrtc_host {

class LocalAudioTrack : public LocalTrack {
 public:
  explicit LocalAudioTrack(std::shared_ptr<RTCAudioTrack> track) : track_(std::move(track)) {}

  std::shared_ptr<RTCMediaStreamTrack> track() const override { return track_; }
  const std::shared_ptr<RTCAudioTrack>& audioTrack() const { return track_; }

  void addRenderer(const std::shared_ptr<AudioRenderer>& renderer) {
    AudioManager::sharedInstance()->addLocalAudioRenderer(renderer);
  }
  void removeRenderer(const std::shared_ptr<AudioRenderer>& renderer) {
    AudioManager::sharedInstance()->removeLocalAudioRenderer(renderer);
  }
  void addProcessing(const std::shared_ptr<RTCAudioCustomProcessingDelegate>& processor) {
    AudioManager::sharedInstance()->capturePostProcessingAdapter()->addProcessing(processor);
  }
  void removeProcessing(const std::shared_ptr<RTCAudioCustomProcessingDelegate>& processor) {
    AudioManager::sharedInstance()->capturePostProcessingAdapter()->removeProcessing(processor);
  }

 private:
  std::shared_ptr<RTCAudioTrack> track_;
};

}  // namespace webrtc_host
