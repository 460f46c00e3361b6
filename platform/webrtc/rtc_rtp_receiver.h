// Receives one remote track on a peer connection.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/webrtc/rtc_media_stream_track.h"
#include "platform/webrtc/rtc_rtp_parameters.h"

class RTCRtpReceiver {
 public:
  // Made by peer connections, with the remote track it receives.
  RTCRtpReceiver(std::string receiverId, std::shared_ptr<RTCMediaStreamTrack> track)
      : receiver_id_(std::move(receiverId)), track_(std::move(track)) {}
  RTCRtpReceiver(const RTCRtpReceiver&) = delete;
  RTCRtpReceiver& operator=(const RTCRtpReceiver&) = delete;

  const std::string& receiverId() const { return receiver_id_; }
  const std::shared_ptr<RTCMediaStreamTrack>& track() const { return track_; }
  RTCRtpParameters parameters() const {
    std::lock_guard lock(mutex_);
    return parameters_;
  }

 private:
  friend class RTCPeerConnection;
  void setNegotiatedCodecs(std::vector<RTCRtpCodecParameters> codecs) {
    std::lock_guard lock(mutex_);
    parameters_.codecs = std::move(codecs);
  }

  std::string receiver_id_;
  std::shared_ptr<RTCMediaStreamTrack> track_;
  mutable std::mutex mutex_;
  RTCRtpParameters parameters_;
};
