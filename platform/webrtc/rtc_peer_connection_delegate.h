// What a peer connection tells its delegate, on the framework's signaling thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/webrtc/rtc_data_channel.h"
#include "platform/webrtc/rtc_ice_candidate.h"
#include "platform/webrtc/rtc_media_stream.h"
#include "platform/webrtc/rtc_peer_connection_state.h"
#include "platform/webrtc/rtc_rtp_transceiver.h"

class RTCPeerConnection;

class RTCPeerConnectionDelegate {
 public:
  virtual ~RTCPeerConnectionDelegate() = default;

  virtual void peerConnectionDidChangeSignalingState(RTCPeerConnection& peerConnection,
                                                     RTCSignalingState stateChanged) = 0;
  virtual void peerConnectionDidAddStream(RTCPeerConnection& peerConnection,
                                          const std::shared_ptr<RTCMediaStream>& stream) = 0;
  virtual void peerConnectionDidRemoveStream(RTCPeerConnection& peerConnection,
                                             const std::shared_ptr<RTCMediaStream>& stream) = 0;
  virtual void peerConnectionShouldNegotiate(RTCPeerConnection& peerConnection) = 0;
  virtual void peerConnectionDidChangeIceConnectionState(RTCPeerConnection& peerConnection,
                                                         RTCIceConnectionState newState) = 0;
  virtual void peerConnectionDidChangeIceGatheringState(RTCPeerConnection& peerConnection,
                                                        RTCIceGatheringState newState) = 0;
  virtual void peerConnectionDidGenerateIceCandidate(RTCPeerConnection& peerConnection,
                                                     const RTCIceCandidate& candidate) = 0;
  virtual void peerConnectionDidRemoveIceCandidates(
      RTCPeerConnection& peerConnection, const std::vector<RTCIceCandidate>& candidates) = 0;
  virtual void peerConnectionDidOpenDataChannel(
      RTCPeerConnection& peerConnection, const std::shared_ptr<RTCDataChannel>& dataChannel) = 0;

  // Optional notifications.
  virtual void peerConnectionDidChangeConnectionState(RTCPeerConnection& /*peerConnection*/,
                                                      RTCPeerConnectionState /*newState*/) {}
  virtual void peerConnectionDidStartReceivingOnTransceiver(
      RTCPeerConnection& /*peerConnection*/,
      const std::shared_ptr<RTCRtpTransceiver>& /*transceiver*/) {}
  virtual void peerConnectionDidAddReceiver(
      RTCPeerConnection& /*peerConnection*/, const std::shared_ptr<RTCRtpReceiver>& /*rtpReceiver*/,
      const std::vector<std::shared_ptr<RTCMediaStream>>& /*mediaStreams*/) {}
  virtual void peerConnectionDidRemoveReceiver(
      RTCPeerConnection& /*peerConnection*/,
      const std::shared_ptr<RTCRtpReceiver>& /*rtpReceiver*/) {}
  virtual void peerConnectionDidChangeLocalCandidate(RTCPeerConnection& /*peerConnection*/,
                                                     const RTCIceCandidate& /*local*/,
                                                     const RTCIceCandidate& /*remote*/,
                                                     int /*lastDataReceivedMs*/,
                                                     const std::string& /*reason*/) {}
  // Not sent by the framework itself; declared for delegates that handle them.
  virtual void peerConnectionMediaStreamDidAddTrack(
      RTCPeerConnection& /*peerConnection*/, const std::shared_ptr<RTCMediaStream>& /*stream*/,
      const std::shared_ptr<RTCMediaStreamTrack>& /*track*/) {}
  virtual void peerConnectionMediaStreamDidRemoveTrack(
      RTCPeerConnection& /*peerConnection*/, const std::shared_ptr<RTCMediaStream>& /*stream*/,
      const std::shared_ptr<RTCMediaStreamTrack>& /*track*/) {}
};
