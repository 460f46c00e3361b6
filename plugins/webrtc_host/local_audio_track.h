// A local audio track.
#pragma once

#include <memory>

#include "platform/webrtc/rtc_audio_track.h"
#include "plugins/webrtc_host/local_track.h"

namespace webrtc_host {

class LocalAudioTrack : public LocalTrack {
 public:
  explicit LocalAudioTrack(std::shared_ptr<RTCAudioTrack> track) : track_(std::move(track)) {}

  std::shared_ptr<RTCMediaStreamTrack> track() const override { return track_; }
  const std::shared_ptr<RTCAudioTrack>& audioTrack() const { return track_; }
  void setAudioTrack(std::shared_ptr<RTCAudioTrack> track) { track_ = std::move(track); }

 private:
  std::shared_ptr<RTCAudioTrack> track_;
};

}  // namespace webrtc_host
