// Candidates, gathering and the in-memory network between peer connections of this process,
// and the data channels that open over it.
#include <algorithm>

#include "platform/webrtc/framework_log.h"
#include "platform/webrtc/framework_registry.h"
#include "platform/webrtc/rtc_peer_connection.h"

namespace {

constexpr const char* kLoopbackAddress = "127.0.0.1";
// Remote candidates kept per connection; a real exchange brings a few dozen at most.
constexpr size_t kMaxRemoteCandidates = 1000;

RTCIceCandidate hostCandidate(uint32_t port, const std::string& ufrag, int mLineIndex,
                              const std::string& mid, const char* type = "host") {
  webrtc_model::SdpCandidate candidate;
  candidate.foundation = type == std::string("host") ? "1" : "2";
  candidate.transport = "udp";
  candidate.priority = type == std::string("host") ? 2122260223 : 1686052607;
  candidate.address = kLoopbackAddress;
  candidate.port = port;
  candidate.type = type;
  candidate.ufrag = ufrag;
  return RTCIceCandidate(webrtc_model::writeCandidate(candidate), mLineIndex, mid);
}

}  // namespace

void RTCPeerConnection::addIceCandidate(const RTCIceCandidate& candidate,
                                        ErrorHandler completionHandler) {
  onSignalingThread([candidate, handler = std::move(completionHandler)](RTCPeerConnection& self) {
    std::optional<NSError> failure;
    {
      std::lock_guard lock(self.mutex_);
      if (self.closed_) {
        failure = self.error("The peer connection is closed");
      } else if (auto injected = self.takeInjectedFailure(Operation::addIceCandidate)) {
        failure = injected;
      } else if (!self.remote_session_) {
        failure = self.error("The remote description was null");
      } else if (self.remote_candidates_.size() >= kMaxRemoteCandidates) {
        failure = self.error("Too many remote ICE candidates");
      } else if (auto parsed = webrtc_model::parseCandidate(candidate.sdp()); !parsed) {
        failure = self.error("Failed to parse the ICE candidate");
      } else {
        const auto& media = self.remote_session_->media;
        const bool known_section =
            candidate.sdpMid().empty()
                ? candidate.sdpMLineIndex() >= 0 &&
                      static_cast<size_t>(candidate.sdpMLineIndex()) < media.size()
                : self.remote_session_->section(candidate.sdpMid()) != nullptr;
        if (!known_section) {
          failure =
              self.error("The ICE candidate's media section is not in the remote description");
        } else {
          self.latest_remote_candidate_[parsed->ufrag] = self.remote_candidates_.size();
          self.remote_candidates_.push_back(candidate);
        }
      }
    }
    if (handler) handler(failure);
    if (!failure) self.tryConnect();
  });
}

void RTCPeerConnection::gatherIfNeeded() {
  Notifications notifications;
  {
    std::lock_guard lock(mutex_);
    if (closed_ || !local_session_ || local_session_->ice_ufrag.empty()) return;
    const auto& media = local_session_->media;
    auto first = std::find_if(media.begin(), media.end(),
                              [](const auto& section) { return !section.rejected; });
    // Nothing to gather for until a section needs a transport.
    if (first == media.end() || local_session_->ice_ufrag == gathered_ufrag_) return;
    gathered_ufrag_ = local_session_->ice_ufrag;
    webrtc_model::registerEndpoint(gathered_ufrag_, shared_from_this());
    if (configuration_.iceTransportPolicy == RTCIceTransportPolicyNone) return;
    changeIceGatheringState(RTCIceGatheringStateGathering, notifications);
    // Relay-only gathering finds nothing: the model has no TURN servers.
    if (configuration_.iceTransportPolicy != RTCIceTransportPolicyRelay) {
      auto candidate = hostCandidate(port_, gathered_ufrag_,
                                     static_cast<int>(first - media.begin()), first->mid);
      local_candidates_.push_back(candidate);
      notifications.push_back(
          [candidate](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& self) {
            delegate.peerConnectionDidGenerateIceCandidate(self, candidate);
          });
    }
    changeIceGatheringState(RTCIceGatheringStateComplete, notifications);
  }
  deliver(notifications);
}

void RTCPeerConnection::tryConnect() {
  std::string local_ufrag;
  std::string remote_ufrag;
  std::optional<RTCIceCandidate> remote_candidate;
  {
    std::lock_guard lock(mutex_);
    if (closed_ || connected_ || !local_session_ || !remote_session_ ||
        signaling_state_ != RTCSignalingStateStable ||
        configuration_.iceTransportPolicy == RTCIceTransportPolicyNone ||
        configuration_.iceTransportPolicy == RTCIceTransportPolicyRelay) {
      return;
    }
    local_ufrag = local_session_->ice_ufrag;
    remote_ufrag = remote_session_->ice_ufrag;
    // The latest candidate that names this generation's fragment or none at all.
    std::optional<size_t> latest;
    for (const std::string& ufrag : {std::string(), remote_ufrag}) {
      auto found = latest_remote_candidate_.find(ufrag);
      if (found != latest_remote_candidate_.end()) {
        latest = std::max(latest.value_or(0), found->second);
      }
    }
    if (latest) remote_candidate = remote_candidates_[*latest];
    if (!remote_candidate && reachable_peer_ufrag_ != remote_ufrag) return;
  }
  auto peer = webrtc_model::endpointForUfrag(remote_ufrag);
  if (!peer || peer.get() == this) return;
  uint32_t peer_port;
  {
    std::lock_guard lock(peer->mutex_);
    if (peer->closed_ || !peer->remote_session_ ||
        peer->remote_session_->ice_ufrag != local_ufrag) {
      return;
    }
    peer_port = peer->port_;
  }
  Notifications notifications;
  {
    std::lock_guard lock(mutex_);
    if (closed_ || connected_) return;
    connected_ = true;
    transport_peer_ = peer;
    changeIceConnectionState(RTCIceConnectionStateChecking, notifications);
    changeConnectionState(RTCPeerConnectionStateConnecting, notifications);
    changeIceConnectionState(RTCIceConnectionStateConnected, notifications);
    changeConnectionState(RTCPeerConnectionStateConnected, notifications);
    RTCIceCandidate local = local_candidates_.empty() ? hostCandidate(port_, local_ufrag, 0, "0")
                                                      : local_candidates_.front();
    RTCIceCandidate remote =
        remote_candidate.value_or(hostCandidate(peer_port, remote_ufrag, 0, "0", "prflx"));
    notifications.push_back(
        [local, remote](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& self) {
          delegate.peerConnectionDidChangeLocalCandidate(self, local, remote, 0,
                                                         "connectivity check succeeded");
        });
  }
  webrtc_model::frameworkLog(RTCLoggingSeverityInfo, "ICE connected to " + remote_ufrag);
  deliver(notifications);
  peer->onSignalingThread(
      [local_ufrag](RTCPeerConnection& self) { self.peerReachable(local_ufrag); });
  openDataChannels();
}

void RTCPeerConnection::peerReachable(const std::string& peerUfrag) {
  {
    std::lock_guard lock(mutex_);
    reachable_peer_ufrag_ = peerUfrag;
  }
  tryConnect();
  openDataChannels();
}

void RTCPeerConnection::peerClosed() {
  Notifications notifications;
  {
    std::lock_guard lock(mutex_);
    if (!connected_ || closed_) return;
    connected_ = false;
    transport_peer_.reset();
    changeIceConnectionState(RTCIceConnectionStateDisconnected, notifications);
    changeConnectionState(RTCPeerConnectionStateDisconnected, notifications);
  }
  deliver(notifications);
}

bool RTCPeerConnection::dataSectionNegotiated() const {
  return local_session_ && remote_session_ && local_session_->dataSection() != nullptr &&
         remote_session_->dataSection() != nullptr;
}

void RTCPeerConnection::openDataChannels() {
  std::shared_ptr<RTCPeerConnection> peer;
  std::vector<std::shared_ptr<RTCDataChannel>> to_open;
  {
    std::lock_guard lock(mutex_);
    if (closed_ || !connected_ || !dataSectionNegotiated()) return;
    peer = transport_peer_.lock();
    if (!peer) return;
    // The offerer takes odd stream ids and the answerer even ones, so the two never collide.
    if (next_data_channel_id_ < 0) next_data_channel_id_ = was_offerer_ ? 1 : 0;
    for (const auto& channel : data_channels_) {
      if (channel->readyState() != RTCDataChannelStateConnecting ||
          std::find(announced_channels_.begin(), announced_channels_.end(), channel.get()) !=
              announced_channels_.end()) {
        continue;
      }
      if (channel->channelId() < 0) {
        auto used = [&](int id) {
          return std::any_of(data_channels_.begin(), data_channels_.end(),
                             [id](const auto& entry) { return entry->channelId() == id; });
        };
        while (used(next_data_channel_id_)) next_data_channel_id_ += 2;
        channel->setChannelId(next_data_channel_id_);
        next_data_channel_id_ += 2;
      }
      announced_channels_.push_back(channel.get());
      to_open.push_back(channel);
    }
  }
  for (const auto& channel : to_open) {
    if (channel->isNegotiated()) {
      std::shared_ptr<RTCDataChannel> match;
      {
        std::lock_guard lock(peer->mutex_);
        for (const auto& candidate : peer->data_channels_) {
          if (candidate->isNegotiated() && candidate->channelId() == channel->channelId() &&
              candidate->readyState() == RTCDataChannelStateConnecting) {
            match = candidate;
          }
        }
      }
      if (match) {
        channel->connect(match);
        match->connect(channel);
      } else {
        // The peer's own channel of this id finds this one when it opens.
        std::lock_guard lock(mutex_);
        std::erase(announced_channels_, channel.get());
      }
      continue;
    }
    RTCDataChannelConfiguration configuration;
    configuration.isOrdered = channel->isOrdered();
    configuration.maxRetransmits = channel->maxRetransmits();
    configuration.protocol = channel->protocol();
    configuration.channelId = channel->channelId();
    std::weak_ptr<RTCDataChannel> weak = channel;
    peer->onSignalingThread(
        [label = channel->label(), configuration, weak](RTCPeerConnection& self) {
          self.acceptRemoteDataChannel(label, configuration, weak);
        });
  }
}

void RTCPeerConnection::acceptRemoteDataChannel(const std::string& label,
                                                RTCDataChannelConfiguration configuration,
                                                const std::weak_ptr<RTCDataChannel>& remote) {
  auto origin = remote.lock();
  if (!origin) return;
  auto channel = std::make_shared<RTCDataChannel>(label, configuration, queue_);
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    data_channels_.push_back(channel);
    announced_channels_.push_back(channel.get());
  }
  // Both ends are open before anybody hears of the channel.
  channel->connect(origin);
  origin->connect(channel);
  deliver({[channel](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& self) {
    delegate.peerConnectionDidOpenDataChannel(self, channel);
  }});
}
