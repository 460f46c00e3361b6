// An audio track and its source.
#pragma once

#include <memory>

#include "platform/webrtc/rtc_audio_source.h"
#include "platform/webrtc/rtc_media_stream_track.h"

class RTCAudioTrack : public RTCMediaStreamTrack {
 public:
  RTCAudioTrack(std::shared_ptr<RTCAudioSource> source, std::string trackId)
      : RTCMediaStreamTrack(kRTCMediaStreamTrackKindAudio, std::move(trackId)),
        source_(std::move(source)) {}

  const std::shared_ptr<RTCAudioSource>& source() const { return source_; }

 private:
  std::shared_ptr<RTCAudioSource> source_;
};
