// Test controls for peer connections: inject failures and notifications, read what the model
// holds, and connect two peer connections of this process to each other.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/webrtc/rtc_peer_connection.h"

namespace webrtc::testing {

enum class PeerConnectionOperation {
  createOffer,
  createAnswer,
  setLocalDescription,
  setRemoteDescription,
  addIceCandidate,
};

// The next `operation` of the connection completes with `error`.
void failNext(RTCPeerConnection& connection, PeerConnectionOperation operation, NSError error);
// The next statistics report of the connection carries this time.
void setNextStatisticsTimestamp(RTCPeerConnection& connection, double timestampUs);

// Notifications, delivered on the signaling thread as the framework would. The connection takes
// the state first, so its getters answer it too; any integer is accepted, as a faulty framework
// could report it.
void changeSignalingState(RTCPeerConnection& connection, int state);
void changeIceConnectionState(RTCPeerConnection& connection, int state);
void changeIceGatheringState(RTCPeerConnection& connection, int state);
void changeConnectionState(RTCPeerConnection& connection, int state);
void generateIceCandidate(RTCPeerConnection& connection, const RTCIceCandidate& candidate);
void requestNegotiation(RTCPeerConnection& connection);
void addRemoteStream(RTCPeerConnection& connection, const std::shared_ptr<RTCMediaStream>& stream);
void removeRemoteStream(RTCPeerConnection& connection,
                        const std::shared_ptr<RTCMediaStream>& stream);
void addTrackToRemoteStream(RTCPeerConnection& connection,
                            const std::shared_ptr<RTCMediaStream>& stream,
                            const std::shared_ptr<RTCMediaStreamTrack>& track);
void removeTrackFromRemoteStream(RTCPeerConnection& connection,
                                 const std::shared_ptr<RTCMediaStream>& stream,
                                 const std::shared_ptr<RTCMediaStreamTrack>& track);
// A new receiving transceiver whose remote track has `trackId`, announced with its streams.
std::shared_ptr<RTCRtpReceiver> addRemoteReceiver(RTCPeerConnection& connection,
                                                  const std::string& kind,
                                                  const std::string& trackId,
                                                  const std::vector<std::string>& streamIds);
// A data channel the remote side opened, with the given framework id (-1 included).
std::shared_ptr<RTCDataChannel> openRemoteDataChannel(RTCPeerConnection& connection,
                                                      const std::string& label, int channelId);
void changeSelectedCandidatePair(RTCPeerConnection& connection, const RTCIceCandidate& local,
                                 const RTCIceCandidate& remote, int lastDataReceivedMs,
                                 const std::string& reason);

std::vector<RTCIceCandidate> remoteCandidates(const RTCPeerConnection& connection);
std::vector<std::string> insertedDtmfTones(const RTCDtmfSender& sender);
void changeBufferedAmount(RTCDataChannel& channel, uint64_t amount);

// Runs the whole offer/answer and candidate exchange between two connections at the framework
// level and waits until both report connected. Answers false on failure or timeout. Must not
// be called on a signaling thread.
bool connectPeerConnections(const std::shared_ptr<RTCPeerConnection>& offerer,
                            const std::shared_ptr<RTCPeerConnection>& answerer,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Waits until everything queued on the connection's signaling thread so far has run.
void waitForSignalingThread(RTCPeerConnection& connection);

}  // namespace webrtc::testing
