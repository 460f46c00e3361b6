// A transceiver: a sender and a receiver sharing one media section (its mid) of a peer
// connection, with the direction it wants and the direction negotiated.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_error.h"
#include "platform/webrtc/rtc_rtp_capabilities.h"
#include "platform/webrtc/rtc_rtp_receiver.h"
#include "platform/webrtc/rtc_rtp_sender.h"

class RTCPeerConnection;

enum RTCRtpTransceiverDirection : int {
  RTCRtpTransceiverDirectionSendRecv = 0,
  RTCRtpTransceiverDirectionSendOnly = 1,
  RTCRtpTransceiverDirectionRecvOnly = 2,
  RTCRtpTransceiverDirectionInactive = 3,
  RTCRtpTransceiverDirectionStopped = 4,
};

struct RTCRtpTransceiverInit {
  RTCRtpTransceiverDirection direction = RTCRtpTransceiverDirectionSendRecv;
  std::vector<std::string> streamIds;
  std::vector<RTCRtpEncodingParameters> sendEncodings;
};

class RTCRtpTransceiver {
 public:
  // Made by peer connections.
  RTCRtpTransceiver(RTCRtpMediaType mediaType, std::shared_ptr<RTCRtpSender> sender,
                    std::shared_ptr<RTCRtpReceiver> receiver, RTCRtpTransceiverDirection direction,
                    std::weak_ptr<RTCPeerConnection> owner);
  RTCRtpTransceiver(const RTCRtpTransceiver&) = delete;
  RTCRtpTransceiver& operator=(const RTCRtpTransceiver&) = delete;

  RTCRtpMediaType mediaType() const { return media_type_; }
  // Empty until the transceiver is part of an applied description.
  std::string mid() const;
  const std::shared_ptr<RTCRtpSender>& sender() const { return sender_; }
  const std::shared_ptr<RTCRtpReceiver>& receiver() const { return receiver_; }
  bool isStopped() const;

  RTCRtpTransceiverDirection direction() const;
  // False while nothing was negotiated; otherwise fills `direction`.
  bool currentDirection(RTCRtpTransceiverDirection* direction) const;
  // Refused for a stopped transceiver or the stopped direction.
  bool setDirection(RTCRtpTransceiverDirection direction, std::optional<NSError>* error);
  void stopInternal();

  // An empty list restores the defaults. Codecs of another kind, or that the factory cannot
  // send or receive, are refused.
  bool setCodecPreferences(std::vector<RTCRtpCodecCapability> codecs,
                           std::optional<NSError>* error);
  std::vector<RTCRtpCodecCapability> codecPreferences() const;

 private:
  friend class RTCPeerConnection;
  friend class RTCRtpTransceiverControl;

  // Negotiation state, written by the owning peer connection.
  struct Negotiation {
    std::string mid;
    // Where the transceiver's section stands in the descriptions, once it has one.
    std::optional<size_t> mline_index;
    std::optional<RTCRtpTransceiverDirection> current_direction;
    std::optional<RTCRtpTransceiverDirection> remote_direction;
    std::vector<std::string> remote_stream_ids;
    bool receiving = false;
    bool created_by_remote = false;
    bool created_by_add_track = false;
  };

  RTCRtpMediaType media_type_;
  std::shared_ptr<RTCRtpSender> sender_;
  std::shared_ptr<RTCRtpReceiver> receiver_;
  std::weak_ptr<RTCPeerConnection> owner_;
  mutable std::mutex mutex_;
  RTCRtpTransceiverDirection direction_;
  bool stopped_ = false;
  std::vector<RTCRtpCodecCapability> codec_preferences_;
  Negotiation negotiation_;
};
