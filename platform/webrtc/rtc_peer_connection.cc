#include "platform/webrtc/rtc_peer_connection.h"

#include <algorithm>

#include "platform/foundation/ns_uuid.h"
#include "platform/webrtc/framework_log.h"
#include "platform/webrtc/framework_registry.h"
#include "platform/webrtc/media_kind.h"
#include "platform/webrtc/rtc_peer_connection_factory.h"

using webrtc_model::kindOf;

namespace {

std::string randomToken(size_t length) {
  std::string token;
  while (token.size() < length) {
    for (char c : NSUUID().UUIDString()) {
      if (c != '-' && token.size() < length) token += c;
    }
  }
  return token;
}

}  // namespace

RTCPeerConnection::RTCPeerConnection(std::shared_ptr<RTCPeerConnectionFactory> factory,
                                     RTCConfiguration configuration,
                                     RTCMediaConstraints constraints,
                                     std::weak_ptr<RTCPeerConnectionDelegate> delegate,
                                     dispatch_queue_t signalingQueue)
    : factory_(std::move(factory)),
      queue_(std::move(signalingQueue)),
      delegate_(std::move(delegate)),
      configuration_(std::move(configuration)),
      constraints_(std::move(constraints)),
      session_id_(std::to_string(webrtc_model::allocatePort()) + "0000"),
      cname_(randomToken(16)),
      ice_ufrag_(randomToken(8)),
      ice_pwd_(randomToken(24)),
      port_(webrtc_model::allocatePort()) {
  webrtc_model::frameworkLog(RTCLoggingSeverityInfo, "PeerConnection created");
}

RTCPeerConnection::~RTCPeerConnection() = default;

std::shared_ptr<RTCPeerConnectionDelegate> RTCPeerConnection::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void RTCPeerConnection::setDelegate(std::weak_ptr<RTCPeerConnectionDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

RTCConfiguration RTCPeerConnection::configuration() const {
  std::lock_guard lock(mutex_);
  return configuration_;
}

bool RTCPeerConnection::setConfiguration(const RTCConfiguration& configuration) {
  std::lock_guard lock(mutex_);
  if (closed_ || configuration.bundlePolicy != configuration_.bundlePolicy ||
      configuration.rtcpMuxPolicy != configuration_.rtcpMuxPolicy ||
      configuration.keyType != configuration_.keyType ||
      configuration.sdpSemantics != configuration_.sdpSemantics) {
    return false;
  }
  configuration_ = configuration;
  return true;
}

RTCSignalingState RTCPeerConnection::signalingState() const {
  std::lock_guard lock(mutex_);
  return signaling_state_;
}

RTCIceConnectionState RTCPeerConnection::iceConnectionState() const {
  std::lock_guard lock(mutex_);
  return ice_connection_state_;
}

RTCIceGatheringState RTCPeerConnection::iceGatheringState() const {
  std::lock_guard lock(mutex_);
  return ice_gathering_state_;
}

RTCPeerConnectionState RTCPeerConnection::connectionState() const {
  std::lock_guard lock(mutex_);
  return connection_state_;
}

std::optional<RTCSessionDescription> RTCPeerConnection::localDescription() const {
  std::lock_guard lock(mutex_);
  return local_description_;
}

std::optional<RTCSessionDescription> RTCPeerConnection::remoteDescription() const {
  std::lock_guard lock(mutex_);
  return remote_description_;
}

std::vector<std::shared_ptr<RTCMediaStream>> RTCPeerConnection::localStreams() const {
  std::lock_guard lock(mutex_);
  return local_streams_;
}

std::vector<std::shared_ptr<RTCRtpSender>> RTCPeerConnection::senders() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<RTCRtpSender>> senders;
  for (const auto& transceiver : transceivers_) {
    if (!transceiver->isStopped()) senders.push_back(transceiver->sender());
  }
  return senders;
}

std::vector<std::shared_ptr<RTCRtpReceiver>> RTCPeerConnection::receivers() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<RTCRtpReceiver>> receivers;
  for (const auto& transceiver : transceivers_) {
    if (!transceiver->isStopped()) receivers.push_back(transceiver->receiver());
  }
  return receivers;
}

std::vector<std::shared_ptr<RTCRtpTransceiver>> RTCPeerConnection::transceivers() const {
  std::lock_guard lock(mutex_);
  return transceivers_;
}

bool RTCPeerConnection::addStream(const std::shared_ptr<RTCMediaStream>& stream) {
  if (!stream) return false;
  {
    std::lock_guard lock(mutex_);
    if (closed_ ||
        std::find(local_streams_.begin(), local_streams_.end(), stream) != local_streams_.end()) {
      return false;
    }
    local_streams_.push_back(stream);
  }
  for (const auto& track : stream->audioTracks()) addTrack(track, {stream->streamId()});
  for (const auto& track : stream->videoTracks()) addTrack(track, {stream->streamId()});
  return true;
}

void RTCPeerConnection::removeStream(const std::shared_ptr<RTCMediaStream>& stream) {
  if (!stream) return;
  {
    std::lock_guard lock(mutex_);
    auto found = std::find(local_streams_.begin(), local_streams_.end(), stream);
    if (found == local_streams_.end()) return;
    local_streams_.erase(found);
  }
  for (const auto& sender : senders()) {
    auto track = sender->track();
    if (!track) continue;
    auto ids = sender->streamIds();
    if (std::find(ids.begin(), ids.end(), stream->streamId()) != ids.end()) removeTrack(sender);
  }
}

std::shared_ptr<RTCRtpSender> RTCPeerConnection::addTrack(
    const std::shared_ptr<RTCMediaStreamTrack>& track, const std::vector<std::string>& streamIds) {
  if (!track) return nullptr;
  Notifications notifications;
  std::shared_ptr<RTCRtpSender> sender;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return nullptr;
    for (const auto& transceiver : transceivers_) {
      if (transceiver->sender()->track() == track) return nullptr;
    }
    const RTCRtpMediaType media_type = track->kind() == kRTCMediaStreamTrackKindVideo
                                           ? RTCRtpMediaTypeVideo
                                           : RTCRtpMediaTypeAudio;
    // A transceiver the remote side made, that never sent, takes the track.
    for (const auto& transceiver : transceivers_) {
      std::lock_guard transceiver_lock(transceiver->mutex_);
      if (transceiver->media_type_ != media_type || transceiver->stopped_ ||
          !transceiver->negotiation_.created_by_remote || transceiver->sender_->track() ||
          webrtc_model::directionSends(transceiver->direction_)) {
        continue;
      }
      transceiver->sender_->setTrack(track);
      transceiver->sender_->setStreamIds(streamIds);
      transceiver->direction_ = transceiver->direction_ == RTCRtpTransceiverDirectionRecvOnly
                                    ? RTCRtpTransceiverDirectionSendRecv
                                    : RTCRtpTransceiverDirectionSendOnly;
      sender = transceiver->sender_;
      break;
    }
    if (!sender) {
      RTCRtpTransceiverInit init;
      init.streamIds = streamIds;
      auto transceiver = makeTransceiver(media_type, track, init, "");
      transceiver->negotiation_.created_by_add_track = true;
      transceivers_.push_back(transceiver);
      sender = transceiver->sender();
    }
    noteNegotiationNeeded(notifications);
  }
  for (auto& notification : notifications) post(std::move(notification));
  return sender;
}

bool RTCPeerConnection::removeTrack(const std::shared_ptr<RTCRtpSender>& sender) {
  if (!sender) return false;
  Notifications notifications;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    auto found = std::find_if(transceivers_.begin(), transceivers_.end(),
                              [&](const auto& entry) { return entry->sender() == sender; });
    if (found == transceivers_.end()) return false;
    auto& transceiver = *found;
    sender->setTrack(nullptr);
    {
      std::lock_guard transceiver_lock(transceiver->mutex_);
      if (transceiver->direction_ == RTCRtpTransceiverDirectionSendRecv) {
        transceiver->direction_ = RTCRtpTransceiverDirectionRecvOnly;
      } else if (transceiver->direction_ == RTCRtpTransceiverDirectionSendOnly) {
        transceiver->direction_ = RTCRtpTransceiverDirectionInactive;
      }
    }
    noteNegotiationNeeded(notifications);
  }
  for (auto& notification : notifications) post(std::move(notification));
  return true;
}

std::shared_ptr<RTCRtpTransceiver> RTCPeerConnection::addTransceiverWithTrack(
    const std::shared_ptr<RTCMediaStreamTrack>& track, const RTCRtpTransceiverInit& init) {
  if (!track) return nullptr;
  Notifications notifications;
  std::shared_ptr<RTCRtpTransceiver> transceiver;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return nullptr;
    const RTCRtpMediaType media_type = track->kind() == kRTCMediaStreamTrackKindVideo
                                           ? RTCRtpMediaTypeVideo
                                           : RTCRtpMediaTypeAudio;
    transceiver = makeTransceiver(media_type, track, init, "");
    transceivers_.push_back(transceiver);
    noteNegotiationNeeded(notifications);
  }
  for (auto& notification : notifications) post(std::move(notification));
  return transceiver;
}

std::shared_ptr<RTCRtpTransceiver> RTCPeerConnection::addTransceiverOfType(
    RTCRtpMediaType mediaType, const RTCRtpTransceiverInit& init) {
  if (mediaType != RTCRtpMediaTypeAudio && mediaType != RTCRtpMediaTypeVideo) return nullptr;
  Notifications notifications;
  std::shared_ptr<RTCRtpTransceiver> transceiver;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return nullptr;
    transceiver = makeTransceiver(mediaType, nullptr, init, "");
    transceivers_.push_back(transceiver);
    noteNegotiationNeeded(notifications);
  }
  for (auto& notification : notifications) post(std::move(notification));
  return transceiver;
}

std::shared_ptr<RTCRtpTransceiver> RTCPeerConnection::makeTransceiver(
    RTCRtpMediaType mediaType, const std::shared_ptr<RTCMediaStreamTrack>& track,
    const RTCRtpTransceiverInit& init, const std::string& remoteTrackId) {
  const std::string kind = kindOf(mediaType);
  std::string sender_id = track ? track->trackId() : NSUUID().UUIDString();
  auto sender = std::make_shared<RTCRtpSender>(std::move(sender_id), kind, track, init.streamIds,
                                               init.sendEncodings, cname_);
  const std::string track_id = remoteTrackId.empty() ? NSUUID().UUIDString() : remoteTrackId;
  std::shared_ptr<RTCMediaStreamTrack> remote_track;
  if (mediaType == RTCRtpMediaTypeVideo) {
    remote_track = RTCVideoTrack::create(std::make_shared<RTCVideoSource>(), track_id);
  } else {
    remote_track = std::make_shared<RTCAudioTrack>(std::make_shared<RTCAudioSource>(), track_id);
  }
  auto receiver = std::make_shared<RTCRtpReceiver>(NSUUID().UUIDString(), std::move(remote_track));
  RTCRtpTransceiverDirection direction = init.direction;
  if (direction == RTCRtpTransceiverDirectionStopped)
    direction = RTCRtpTransceiverDirectionInactive;
  return std::make_shared<RTCRtpTransceiver>(mediaType, std::move(sender), std::move(receiver),
                                             direction, weak_from_this());
}

void RTCPeerConnection::restartIce() {
  Notifications notifications;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    ice_restart_pending_ = true;
    noteNegotiationNeeded(notifications);
  }
  for (auto& notification : notifications) post(std::move(notification));
}

void RTCPeerConnection::close() {
  Notifications notifications;
  std::vector<std::shared_ptr<RTCDataChannel>> channels;
  std::vector<std::shared_ptr<RTCRtpTransceiver>> transceivers;
  std::shared_ptr<RTCPeerConnection> peer;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closed_ = true;
    changeSignalingState(RTCSignalingStateClosed, notifications);
    changeIceConnectionState(RTCIceConnectionStateClosed, notifications);
    changeConnectionState(RTCPeerConnectionStateClosed, notifications);
    channels = data_channels_;
    transceivers = transceivers_;
    peer = transport_peer_.lock();
    connected_ = false;
  }
  for (const auto& transceiver : transceivers) transceiver->stopInternal();
  for (const auto& channel : channels) channel->close();
  for (auto& notification : notifications) post(std::move(notification));
  if (peer) peer->onSignalingThread([](RTCPeerConnection& self) { self.peerClosed(); });
  webrtc_model::frameworkLog(RTCLoggingSeverityInfo, "PeerConnection closed");
}

std::shared_ptr<RTCDataChannel> RTCPeerConnection::dataChannelForLabel(
    const std::string& label, const RTCDataChannelConfiguration& configuration) {
  Notifications notifications;
  std::shared_ptr<RTCDataChannel> channel;
  bool open_now = false;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return nullptr;
    if (configuration.channelId > 65534 ||
        (configuration.isNegotiated && configuration.channelId < 0)) {
      return nullptr;
    }
    channel = std::make_shared<RTCDataChannel>(label, configuration, queue_);
    data_channels_.push_back(channel);
    noteNegotiationNeeded(notifications);
    open_now = connected_;
  }
  for (auto& notification : notifications) post(std::move(notification));
  if (open_now) onSignalingThread([](RTCPeerConnection& self) { self.openDataChannels(); });
  return channel;
}

void RTCPeerConnection::onSignalingThread(std::function<void(RTCPeerConnection&)> block) {
  auto self = shared_from_this();
  dispatch_async(queue_, [self, block = std::move(block)] { block(*self); });
}

void RTCPeerConnection::deliver(const Notifications& notifications) {
  if (notifications.empty()) return;
  auto target = delegate();
  if (!target) return;
  for (const auto& notification : notifications) notification(*target, *this);
}

void RTCPeerConnection::post(Notification notification) {
  auto target = delegate();
  if (!target) return;
  auto self = shared_from_this();
  dispatch_async(queue_, [self, target, notification = std::move(notification)] {
    notification(*target, *self);
  });
}

std::optional<NSError> RTCPeerConnection::takeInjectedFailure(Operation operation) {
  auto found = injected_failures_.find(operation);
  if (found == injected_failures_.end()) return std::nullopt;
  NSError failure = found->second;
  injected_failures_.erase(found);
  return failure;
}

NSError RTCPeerConnection::error(const std::string& description) const {
  return NSError{kRTCPeerConnectionErrorDomain, -1, description};
}

std::string RTCPeerConnection::stateName() const {
  switch (signaling_state_) {
    case RTCSignalingStateStable:
      return "stable";
    case RTCSignalingStateHaveLocalOffer:
      return "have-local-offer";
    case RTCSignalingStateHaveLocalPrAnswer:
      return "have-local-pranswer";
    case RTCSignalingStateHaveRemoteOffer:
      return "have-remote-offer";
    case RTCSignalingStateHaveRemotePrAnswer:
      return "have-remote-pranswer";
    default:
      return "closed";
  }
}

// Negotiation needed is announced once; it is announced again only after the connection has
// been stable with nothing left to negotiate, or when it becomes stable with changes the round
// did not cover.
void RTCPeerConnection::noteNegotiationNeeded(Notifications& out) {
  if (closed_ || signaling_state_ != RTCSignalingStateStable) return;
  if (!negotiationNeeded()) {
    negotiation_needed_ = false;
    return;
  }
  if (negotiation_needed_) return;
  negotiation_needed_ = true;
  announceNegotiationNeeded(out);
}

void RTCPeerConnection::returnedToStable(Notifications& out) {
  const bool needed_before = negotiation_needed_;
  noteNegotiationNeeded(out);
  if (needed_before && negotiation_needed_) announceNegotiationNeeded(out);
}

void RTCPeerConnection::announceNegotiationNeeded(Notifications& out) {
  out.push_back([](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& connection) {
    {
      std::lock_guard lock(connection.mutex_);
      // A round that began before this was delivered covers it already.
      if (connection.closed_ || !connection.negotiation_needed_ ||
          connection.signaling_state_ != RTCSignalingStateStable) {
        return;
      }
    }
    delegate.peerConnectionShouldNegotiate(connection);
  });
}

bool RTCPeerConnection::negotiationNeeded() const {
  if (ice_restart_pending_) return true;
  const auto* local = local_session_ ? &*local_session_ : nullptr;
  if (!data_channels_.empty()) {
    const bool has_data_section =
        local != nullptr &&
        std::any_of(local->media.begin(), local->media.end(),
                    [](const auto& m) { return m.kind == webrtc_model::kApplicationKind; });
    if (!has_data_section) return true;
  }
  for (const auto& transceiver : transceivers_) {
    std::lock_guard lock(transceiver->mutex_);
    const auto& negotiation = transceiver->negotiation_;
    const webrtc_model::SdpMediaSection* section =
        local != nullptr && !negotiation.mid.empty() ? local->section(negotiation.mid) : nullptr;
    if (transceiver->stopped_) {
      if (section != nullptr && !section->rejected) return true;
      continue;
    }
    if (section == nullptr) return true;
    // A section the answer refused cannot be negotiated again.
    if (section->rejected) continue;
    const auto agreed =
        was_offerer_ ? transceiver->direction_
                     : webrtc_model::intersectDirections(
                           transceiver->direction_,
                           webrtc_model::reverseDirection(negotiation.remote_direction.value_or(
                               RTCRtpTransceiverDirectionSendRecv)));
    if (section->direction != agreed) return true;
  }
  return false;
}

void RTCPeerConnection::changeSignalingState(RTCSignalingState state, Notifications& out) {
  if (signaling_state_ == state) return;
  signaling_state_ = state;
  out.push_back([state](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& connection) {
    delegate.peerConnectionDidChangeSignalingState(connection, state);
  });
}

void RTCPeerConnection::changeIceConnectionState(RTCIceConnectionState state, Notifications& out) {
  if (ice_connection_state_ == state) return;
  ice_connection_state_ = state;
  out.push_back([state](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& connection) {
    delegate.peerConnectionDidChangeIceConnectionState(connection, state);
  });
}

void RTCPeerConnection::changeConnectionState(RTCPeerConnectionState state, Notifications& out) {
  if (connection_state_ == state) return;
  connection_state_ = state;
  out.push_back([state](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& connection) {
    delegate.peerConnectionDidChangeConnectionState(connection, state);
  });
}

void RTCPeerConnection::transceiverChanged() {
  Notifications notifications;
  {
    std::lock_guard lock(mutex_);
    noteNegotiationNeeded(notifications);
  }
  for (auto& notification : notifications) post(std::move(notification));
}

void RTCPeerConnection::changeIceGatheringState(RTCIceGatheringState state, Notifications& out) {
  if (ice_gathering_state_ == state) return;
  ice_gathering_state_ = state;
  out.push_back([state](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& connection) {
    delegate.peerConnectionDidChangeIceGatheringState(connection, state);
  });
}
