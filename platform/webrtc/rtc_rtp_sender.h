// Sends one track (or nothing) of one media kind on a peer connection.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/webrtc/rtc_dtmf_sender.h"
#include "platform/webrtc/rtc_media_stream_track.h"
#include "platform/webrtc/rtc_rtp_parameters.h"

class RTCRtpSender {
 public:
  // Made by peer connections; `kind` is "audio" or "video".
  RTCRtpSender(std::string senderId, std::string kind, std::shared_ptr<RTCMediaStreamTrack> track,
               std::vector<std::string> streamIds, std::vector<RTCRtpEncodingParameters> encodings,
               std::string cname);
  RTCRtpSender(const RTCRtpSender&) = delete;
  RTCRtpSender& operator=(const RTCRtpSender&) = delete;

  const std::string& senderId() const { return sender_id_; }
  std::shared_ptr<RTCMediaStreamTrack> track() const;
  // Null detaches the track. A track of the other kind is refused.
  bool setTrack(std::shared_ptr<RTCMediaStreamTrack> track);

  std::vector<std::string> streamIds() const;
  void setStreamIds(std::vector<std::string> streamIds);

  // Reads share one transaction until a set succeeds; setParameters accepts only the current one,
  // with the same encodings (count and rids) and scales of at least 1.
  RTCRtpParameters parameters() const;
  bool setParameters(const RTCRtpParameters& parameters);

  // Null for a video sender.
  const std::shared_ptr<RTCDtmfSender>& dtmfSender() const { return dtmf_sender_; }

 private:
  friend class RTCPeerConnection;
  const std::string& kind() const { return kind_; }
  void setNegotiatedCodecs(std::vector<RTCRtpCodecParameters> codecs);

  std::string sender_id_;
  std::string kind_;
  std::shared_ptr<RTCDtmfSender> dtmf_sender_;
  mutable std::mutex mutex_;
  std::shared_ptr<RTCMediaStreamTrack> track_;
  std::vector<std::string> stream_ids_;
  RTCRtpParameters parameters_;
  mutable std::string last_transaction_id_;
  mutable uint64_t transactions_ = 0;
};
