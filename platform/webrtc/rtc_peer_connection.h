// A peer connection of the framework model. Asynchronous operations and delegate notifications
// run on the factory's signaling thread (a serial queue), in the order they were asked for.
//
// Two peer connections of this process that exchange their descriptions and candidates connect
// through an in-memory network: their states progress to connected, each side's sending
// transceivers appear as the other's receivers, and data channels open on both sides.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_error.h"
#include "platform/webrtc/rtc_configuration.h"
#include "platform/webrtc/rtc_data_channel.h"
#include "platform/webrtc/rtc_ice_candidate.h"
#include "platform/webrtc/rtc_media_constraints.h"
#include "platform/webrtc/rtc_media_stream.h"
#include "platform/webrtc/rtc_peer_connection_delegate.h"
#include "platform/webrtc/rtc_peer_connection_state.h"
#include "platform/webrtc/rtc_rtp_transceiver.h"
#include "platform/webrtc/rtc_session_description.h"
#include "platform/webrtc/rtc_statistics_report.h"
#include "platform/webrtc/sdp_text.h"

class RTCPeerConnectionFactory;

inline constexpr const char* kRTCPeerConnectionErrorDomain = "org.webrtc.RTCPeerConnection";

class RTCPeerConnection : public std::enable_shared_from_this<RTCPeerConnection> {
 public:
  using SessionDescriptionHandler = std::function<void(
      std::optional<RTCSessionDescription> sessionDescription, std::optional<NSError> error)>;
  using ErrorHandler = std::function<void(std::optional<NSError> error)>;
  using StatisticsHandler = std::function<void(const RTCStatisticsReport& report)>;

  // Made by a factory.
  RTCPeerConnection(std::shared_ptr<RTCPeerConnectionFactory> factory,
                    RTCConfiguration configuration, RTCMediaConstraints constraints,
                    std::weak_ptr<RTCPeerConnectionDelegate> delegate,
                    dispatch_queue_t signalingQueue);
  ~RTCPeerConnection();
  RTCPeerConnection(const RTCPeerConnection&) = delete;
  RTCPeerConnection& operator=(const RTCPeerConnection&) = delete;

  std::shared_ptr<RTCPeerConnectionDelegate> delegate() const;
  void setDelegate(std::weak_ptr<RTCPeerConnectionDelegate> delegate);

  RTCConfiguration configuration() const;
  // Refuses changes of the bundle, RTCP-mux, key-type or SDP-semantics settings.
  bool setConfiguration(const RTCConfiguration& configuration);

  RTCSignalingState signalingState() const;
  RTCIceConnectionState iceConnectionState() const;
  RTCIceGatheringState iceGatheringState() const;
  RTCPeerConnectionState connectionState() const;
  std::optional<RTCSessionDescription> localDescription() const;
  std::optional<RTCSessionDescription> remoteDescription() const;

  std::vector<std::shared_ptr<RTCMediaStream>> localStreams() const;
  std::vector<std::shared_ptr<RTCRtpSender>> senders() const;
  std::vector<std::shared_ptr<RTCRtpReceiver>> receivers() const;
  std::vector<std::shared_ptr<RTCRtpTransceiver>> transceivers() const;

  // Adds each track of the stream with the stream's id.
  bool addStream(const std::shared_ptr<RTCMediaStream>& stream);
  void removeStream(const std::shared_ptr<RTCMediaStream>& stream);
  // Null when the connection is closed, the track is null or already sent.
  std::shared_ptr<RTCRtpSender> addTrack(const std::shared_ptr<RTCMediaStreamTrack>& track,
                                         const std::vector<std::string>& streamIds);
  bool removeTrack(const std::shared_ptr<RTCRtpSender>& sender);
  // Null when the connection is closed or the track is null.
  std::shared_ptr<RTCRtpTransceiver> addTransceiverWithTrack(
      const std::shared_ptr<RTCMediaStreamTrack>& track,
      const RTCRtpTransceiverInit& init = RTCRtpTransceiverInit());
  // Null when the connection is closed or the type is neither audio nor video.
  std::shared_ptr<RTCRtpTransceiver> addTransceiverOfType(
      RTCRtpMediaType mediaType, const RTCRtpTransceiverInit& init = RTCRtpTransceiverInit());

  // New ICE credentials at the next offer.
  void restartIce();
  void close();

  void offerForConstraints(const RTCMediaConstraints& constraints,
                           SessionDescriptionHandler completionHandler);
  void answerForConstraints(const RTCMediaConstraints& constraints,
                            SessionDescriptionHandler completionHandler);
  void setLocalDescription(const RTCSessionDescription& sdp, ErrorHandler completionHandler);
  void setRemoteDescription(const RTCSessionDescription& sdp, ErrorHandler completionHandler);
  void addIceCandidate(const RTCIceCandidate& candidate, ErrorHandler completionHandler);

  void statisticsWithCompletionHandler(StatisticsHandler completionHandler);
  void statisticsForSender(const std::shared_ptr<RTCRtpSender>& sender,
                           StatisticsHandler completionHandler);
  void statisticsForReceiver(const std::shared_ptr<RTCRtpReceiver>& receiver,
                             StatisticsHandler completionHandler);

  // Null when the connection is closed.
  std::shared_ptr<RTCDataChannel> dataChannelForLabel(
      const std::string& label, const RTCDataChannelConfiguration& configuration);

 private:
  friend class RTCRtpTransceiver;
  friend class RTCPeerConnectionControl;

  enum class Operation {
    createOffer,
    createAnswer,
    setLocalDescription,
    setRemoteDescription,
    addIceCandidate
  };
  using Notification = std::function<void(RTCPeerConnectionDelegate&, RTCPeerConnection&)>;
  using Notifications = std::vector<Notification>;

  // A transceiver's direction or state changed: negotiation is needed.
  void transceiverChanged();
  // Runs `block` on the signaling thread with this connection kept alive.
  void onSignalingThread(std::function<void(RTCPeerConnection&)> block);
  // Delivers now: callers are on the signaling thread and hold no lock.
  void deliver(const Notifications& notifications);
  // Queues for the signaling thread, addressed to the delegate of this moment.
  void post(Notification notification);

  // Everything below runs under mutex_ unless its name says otherwise.
  std::optional<NSError> takeInjectedFailure(Operation operation);
  NSError error(const std::string& description) const;
  std::string stateName() const;
  // Sets the negotiation-needed flag from negotiationNeeded() while stable and announces it when
  // it was clear.
  void noteNegotiationNeeded(Notifications& out);
  // The state became stable again: also announces a need the finished round left standing.
  void returnedToStable(Notifications& out);
  void announceNegotiationNeeded(Notifications& out);
  // Whether the transceivers, data channels or ICE credentials differ from what the current
  // descriptions agreed.
  bool negotiationNeeded() const;
  void changeSignalingState(RTCSignalingState state, Notifications& out);
  void changeIceConnectionState(RTCIceConnectionState state, Notifications& out);
  void changeConnectionState(RTCPeerConnectionState state, Notifications& out);
  void changeIceGatheringState(RTCIceGatheringState state, Notifications& out);
  std::shared_ptr<RTCRtpTransceiver> makeTransceiver(
      RTCRtpMediaType mediaType, const std::shared_ptr<RTCMediaStreamTrack>& track,
      const RTCRtpTransceiverInit& init, const std::string& remoteTrackId);
  std::string nextMid(const std::vector<std::string>& taken) const;
  std::vector<webrtc_model::SdpCodec> localCodecs(const RTCRtpTransceiver& transceiver) const;
  std::vector<webrtc_model::SdpCodec> answerCodecs(
      const RTCRtpTransceiver& transceiver, const webrtc_model::SdpMediaSection& offered) const;
  webrtc_model::SdpMediaSection describe(const RTCRtpTransceiver& transceiver,
                                         const std::string& mid,
                                         RTCRtpTransceiverDirection direction) const;
  std::string buildOffer(const RTCMediaConstraints& constraints);
  std::optional<std::string> buildAnswer(std::string* failure);
  enum class DescriptionSide { local, remote };
  void setDescription(DescriptionSide side, const RTCSessionDescription& sdp,
                      ErrorHandler completionHandler);
  void applyLocal(RTCSdpType type, const webrtc_model::SdpSession& session, Notifications& out);
  void applyRemote(RTCSdpType type, const webrtc_model::SdpSession& session, Notifications& out);
  void applyRemoteSections(const webrtc_model::SdpSession& session, bool isOffer,
                           Notifications& out);
  void finishNegotiation(Notifications& out);
  std::shared_ptr<RTCMediaStream> remoteStream(const std::string& streamId);
  RTCStatisticsReport buildStatistics(const std::shared_ptr<RTCRtpSender>& onlySender,
                                      const std::shared_ptr<RTCRtpReceiver>& onlyReceiver);

  // Transport: gathering, connecting and the data channels over it. Called on the signaling
  // thread without the lock held.
  void gatherIfNeeded();
  void tryConnect();
  void peerReachable(const std::string& peerUfrag);
  void peerClosed();
  void openDataChannels();
  void acceptRemoteDataChannel(const std::string& label, RTCDataChannelConfiguration configuration,
                               const std::weak_ptr<RTCDataChannel>& remote);
  // Whether each side's applied description has a data section.
  bool dataSectionNegotiated() const;

  std::shared_ptr<RTCPeerConnectionFactory> factory_;
  dispatch_queue_t queue_;

  mutable std::mutex mutex_;
  std::weak_ptr<RTCPeerConnectionDelegate> delegate_;
  RTCConfiguration configuration_;
  RTCMediaConstraints constraints_;
  RTCSignalingState signaling_state_ = RTCSignalingStateStable;
  RTCIceConnectionState ice_connection_state_ = RTCIceConnectionStateNew;
  RTCIceGatheringState ice_gathering_state_ = RTCIceGatheringStateNew;
  RTCPeerConnectionState connection_state_ = RTCPeerConnectionStateNew;
  bool closed_ = false;

  std::optional<RTCSessionDescription> local_description_;
  std::optional<RTCSessionDescription> remote_description_;
  std::optional<webrtc_model::SdpSession> local_session_;
  std::optional<webrtc_model::SdpSession> remote_session_;
  // What a rollback restores.
  std::optional<RTCSessionDescription> stable_local_description_;
  std::optional<RTCSessionDescription> stable_remote_description_;
  std::optional<webrtc_model::SdpSession> stable_local_session_;
  std::optional<webrtc_model::SdpSession> stable_remote_session_;
  // Set once negotiation needed was announced; cleared when a check while stable finds
  // nothing to negotiate.
  bool negotiation_needed_ = false;
  bool was_offerer_ = false;

  std::vector<std::shared_ptr<RTCRtpTransceiver>> transceivers_;
  std::vector<std::shared_ptr<RTCMediaStream>> local_streams_;
  std::map<std::string, std::shared_ptr<RTCMediaStream>> remote_streams_;
  std::vector<std::shared_ptr<RTCDataChannel>> data_channels_;
  std::string data_mid_;
  std::optional<size_t> data_mline_index_;
  std::vector<const RTCDataChannel*> announced_channels_;
  int next_data_channel_id_ = -1;

  std::string session_id_;
  uint64_t session_version_ = 1;
  std::string cname_;
  std::string ice_ufrag_;
  std::string ice_pwd_;
  bool ice_restart_pending_ = false;
  std::string gathered_ufrag_;
  uint32_t port_ = 0;
  std::vector<RTCIceCandidate> local_candidates_;
  std::vector<RTCIceCandidate> remote_candidates_;
  // Index in remote_candidates_ of the latest candidate per ICE username fragment ("" for
  // candidates that name none), so that connecting never re-reads the whole list.
  std::map<std::string, size_t> latest_remote_candidate_;
  std::string reachable_peer_ufrag_;
  std::weak_ptr<RTCPeerConnection> transport_peer_;
  bool connected_ = false;

  std::map<Operation, NSError> injected_failures_;
  std::optional<double> statistics_timestamp_override_;
};
