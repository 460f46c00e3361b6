// What the plug-in keeps for one peer connection: its Dart-side id, event channel and sink, and
// the remote streams, remote tracks and data channels the Dart side knows by id. It is the
// connection's delegate and hands every notification to the plug-in.
//
// Notifications write the dictionaries on the signaling thread while the main thread reads and
// clears them, so every access takes the lock.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_peer_connection.h"
#include "plugins/webrtc_host/event_byte_budget.h"
#include "plugins/webrtc_host/flutter_data_channel.h"

namespace webrtc_host {

class WebRTCHostPlugin;

class FlutterPeerConnection : public RTCPeerConnectionDelegate,
                              public FlutterStreamHandler,
                              public std::enable_shared_from_this<FlutterPeerConnection> {
 public:
  FlutterPeerConnection(std::string flutterId, std::weak_ptr<WebRTCHostPlugin> plugin);

  const std::string& flutterId() const { return flutter_id_; }
  // Set once, right after the connection is made and before it is handed out.
  void attach(std::shared_ptr<RTCPeerConnection> connection,
              std::shared_ptr<FlutterEventChannel> eventChannel);
  const std::shared_ptr<RTCPeerConnection>& peerConnection() const { return connection_; }
  const std::shared_ptr<FlutterEventChannel>& eventChannel() const { return event_channel_; }
  // What the events of all its data channels may hold while they wait for the Dart side.
  const std::shared_ptr<EventByteBudget>& dataChannelEventBudget() const {
    return data_channel_event_budget_;
  }

  FlutterEventSink eventSink() const;
  void setEventSink(FlutterEventSink sink);

  std::shared_ptr<RTCMediaStream> remoteStream(const std::string& streamId) const;
  void setRemoteStream(const std::string& streamId, std::shared_ptr<RTCMediaStream> stream);
  // Under how many ids the stream object is stored.
  size_t remoteStreamEntryCount(const RTCMediaStream& stream) const;
  std::shared_ptr<RTCMediaStreamTrack> remoteTrack(const std::string& trackId) const;
  void setRemoteTrack(const std::string& trackId, std::shared_ptr<RTCMediaStreamTrack> track);
  void removeRemoteTrack(const std::string& trackId);
  void clearRemote();

  std::shared_ptr<FlutterDataChannel> dataChannel(const std::string& flutterId) const;
  std::vector<std::shared_ptr<FlutterDataChannel>> dataChannels() const;
  void setDataChannel(const std::string& flutterId, std::shared_ptr<FlutterDataChannel> channel);
  std::shared_ptr<FlutterDataChannel> removeDataChannel(const std::string& flutterId);
  std::vector<std::shared_ptr<FlutterDataChannel>> takeDataChannels();

  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

  void peerConnectionDidChangeSignalingState(RTCPeerConnection& peerConnection,
                                             RTCSignalingState stateChanged) override;
  void peerConnectionDidAddStream(RTCPeerConnection& peerConnection,
                                  const std::shared_ptr<RTCMediaStream>& stream) override;
  void peerConnectionDidRemoveStream(RTCPeerConnection& peerConnection,
                                     const std::shared_ptr<RTCMediaStream>& stream) override;
  void peerConnectionShouldNegotiate(RTCPeerConnection& peerConnection) override;
  void peerConnectionDidChangeIceConnectionState(RTCPeerConnection& peerConnection,
                                                 RTCIceConnectionState newState) override;
  void peerConnectionDidChangeIceGatheringState(RTCPeerConnection& peerConnection,
                                                RTCIceGatheringState newState) override;
  void peerConnectionDidGenerateIceCandidate(RTCPeerConnection& peerConnection,
                                             const RTCIceCandidate& candidate) override;
  void peerConnectionDidRemoveIceCandidates(
      RTCPeerConnection& peerConnection, const std::vector<RTCIceCandidate>& candidates) override;
  void peerConnectionDidOpenDataChannel(
      RTCPeerConnection& peerConnection,
      const std::shared_ptr<RTCDataChannel>& dataChannel) override;
  void peerConnectionDidChangeConnectionState(RTCPeerConnection& peerConnection,
                                              RTCPeerConnectionState newState) override;
  void peerConnectionDidStartReceivingOnTransceiver(
      RTCPeerConnection& peerConnection,
      const std::shared_ptr<RTCRtpTransceiver>& transceiver) override;
  void peerConnectionDidAddReceiver(
      RTCPeerConnection& peerConnection, const std::shared_ptr<RTCRtpReceiver>& rtpReceiver,
      const std::vector<std::shared_ptr<RTCMediaStream>>& mediaStreams) override;
  void peerConnectionDidRemoveReceiver(RTCPeerConnection& peerConnection,
                                       const std::shared_ptr<RTCRtpReceiver>& rtpReceiver) override;
  void peerConnectionDidChangeLocalCandidate(RTCPeerConnection& peerConnection,
                                             const RTCIceCandidate& local,
                                             const RTCIceCandidate& remote, int lastDataReceivedMs,
                                             const std::string& reason) override;
  void peerConnectionMediaStreamDidAddTrack(
      RTCPeerConnection& peerConnection, const std::shared_ptr<RTCMediaStream>& stream,
      const std::shared_ptr<RTCMediaStreamTrack>& track) override;
  void peerConnectionMediaStreamDidRemoveTrack(
      RTCPeerConnection& peerConnection, const std::shared_ptr<RTCMediaStream>& stream,
      const std::shared_ptr<RTCMediaStreamTrack>& track) override;

 private:
  std::string flutter_id_;
  std::weak_ptr<WebRTCHostPlugin> plugin_;
  std::shared_ptr<RTCPeerConnection> connection_;
  std::shared_ptr<FlutterEventChannel> event_channel_;
  const std::shared_ptr<EventByteBudget> data_channel_event_budget_ =
      std::make_shared<EventByteBudget>(kDataChannelEventBytes);

  mutable std::mutex mutex_;
  FlutterEventSink event_sink_;
  std::map<std::string, std::shared_ptr<RTCMediaStream>> remote_streams_;
  std::map<std::string, std::shared_ptr<RTCMediaStreamTrack>> remote_tracks_;
  std::map<std::string, std::shared_ptr<FlutterDataChannel>> data_channels_;
};

}  // namespace webrtc_host
