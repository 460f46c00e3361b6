// Applying local and remote descriptions: mids, receivers, remote streams and the negotiated
// directions and codecs.
#include <algorithm>

#include "platform/webrtc/framework_log.h"
#include "platform/webrtc/media_kind.h"
#include "platform/webrtc/rtc_peer_connection.h"

using webrtc_model::kindOf;
using webrtc_model::SdpMediaSection;
using webrtc_model::SdpSession;

namespace {

RTCRtpCodecParameters toCodecParameters(const webrtc_model::SdpCodec& codec,
                                        const std::string& kind) {
  RTCRtpCodecParameters parameters;
  parameters.name = codec.name;
  parameters.payloadType = codec.payload_type;
  parameters.clockRate = codec.clock_rate;
  parameters.numChannels = codec.channels;
  parameters.parameters = codec.parameters;
  parameters.kind = kind;
  return parameters;
}

void addTrackToStream(RTCMediaStream& stream, const std::shared_ptr<RTCMediaStreamTrack>& track) {
  if (auto audio = std::dynamic_pointer_cast<RTCAudioTrack>(track)) stream.addAudioTrack(audio);
  if (auto video = std::dynamic_pointer_cast<RTCVideoTrack>(track)) stream.addVideoTrack(video);
}

void removeTrackFromStream(RTCMediaStream& stream,
                           const std::shared_ptr<RTCMediaStreamTrack>& track) {
  if (auto audio = std::dynamic_pointer_cast<RTCAudioTrack>(track)) stream.removeAudioTrack(audio);
  if (auto video = std::dynamic_pointer_cast<RTCVideoTrack>(track)) stream.removeVideoTrack(video);
}

}  // namespace

void RTCPeerConnection::setLocalDescription(const RTCSessionDescription& sdp,
                                            ErrorHandler completionHandler) {
  setDescription(DescriptionSide::local, sdp, std::move(completionHandler));
}

void RTCPeerConnection::setRemoteDescription(const RTCSessionDescription& sdp,
                                             ErrorHandler completionHandler) {
  setDescription(DescriptionSide::remote, sdp, std::move(completionHandler));
}

// Both sides follow one state machine, mirrored: what is "own" for a local description is
// "other" for a remote one.
void RTCPeerConnection::setDescription(DescriptionSide side, const RTCSessionDescription& sdp,
                                       ErrorHandler completionHandler) {
  onSignalingThread([side, sdp, handler = std::move(completionHandler)](RTCPeerConnection& self) {
    const bool local = side == DescriptionSide::local;
    const RTCSignalingState own_offer =
        local ? RTCSignalingStateHaveLocalOffer : RTCSignalingStateHaveRemoteOffer;
    const RTCSignalingState other_offer =
        local ? RTCSignalingStateHaveRemoteOffer : RTCSignalingStateHaveLocalOffer;
    const RTCSignalingState other_provisional_answer =
        local ? RTCSignalingStateHaveLocalPrAnswer : RTCSignalingStateHaveRemotePrAnswer;
    auto apply = [&](RTCSdpType type, const SdpSession& session, Notifications& out) {
      local ? self.applyLocal(type, session, out) : self.applyRemote(type, session, out);
    };
    std::optional<NSError> failure;
    Notifications notifications;
    {
      std::lock_guard lock(self.mutex_);
      std::string reason;
      std::optional<SdpSession> session;
      if (self.closed_) {
        failure = self.error("The peer connection is closed");
      } else if (auto injected = self.takeInjectedFailure(
                     local ? Operation::setLocalDescription : Operation::setRemoteDescription)) {
        failure = injected;
      } else if (sdp.type() == RTCSdpTypeRollback) {
        if (self.signaling_state_ != own_offer) {
          failure = self.error("Called in wrong state: " + self.stateName());
        } else {
          apply(RTCSdpTypeRollback, SdpSession(), notifications);
        }
      } else if (session = webrtc_model::parseSdp(sdp.sdp(), &reason); !session) {
        failure = self.error(std::string("Failed to parse the ") + (local ? "local" : "remote") +
                             " description: " + reason);
      } else {
        const bool offer = sdp.type() == RTCSdpTypeOffer;
        const bool allowed = offer ? (self.signaling_state_ == RTCSignalingStateStable ||
                                      self.signaling_state_ == own_offer)
                                   : (self.signaling_state_ == other_offer ||
                                      self.signaling_state_ == other_provisional_answer);
        if (!allowed) {
          failure = self.error("Called in wrong state: " + self.stateName());
        } else {
          (local ? self.local_description_ : self.remote_description_) = sdp;
          apply(sdp.type(), *session, notifications);
        }
      }
    }
    self.deliver(notifications);
    if (handler) handler(failure);
    if (failure) return;
    if (local) self.gatherIfNeeded();
    self.tryConnect();
  });
}

void RTCPeerConnection::applyLocal(RTCSdpType type, const SdpSession& session, Notifications& out) {
  if (type == RTCSdpTypeRollback) {
    local_description_ = stable_local_description_;
    local_session_ = stable_local_session_;
    for (const auto& transceiver : transceivers_) {
      std::lock_guard lock(transceiver->mutex_);
      if (!transceiver->negotiation_.current_direction) {
        transceiver->negotiation_.mid.clear();
        transceiver->negotiation_.mline_index.reset();
      }
    }
    changeSignalingState(RTCSignalingStateStable, out);
    returnedToStable(out);
    return;
  }
  local_session_ = session;
  if (!session.ice_ufrag.empty() && session.ice_ufrag != ice_ufrag_) {
    ice_ufrag_ = session.ice_ufrag;
    ice_pwd_ = session.ice_pwd;
    ice_restart_pending_ = false;
  }
  for (size_t index = 0; index < session.media.size(); ++index) {
    const auto& section = session.media[index];
    if (section.kind == webrtc_model::kApplicationKind) {
      data_mid_ = section.mid;
      data_mline_index_ = index;
      continue;
    }
    std::shared_ptr<RTCRtpTransceiver> match;
    for (const auto& transceiver : transceivers_) {
      if (transceiver->mid() == section.mid) match = transceiver;
    }
    if (!match && type == RTCSdpTypeOffer) {
      for (const auto& transceiver : transceivers_) {
        if (transceiver->mid().empty() && !transceiver->isStopped() &&
            kindOf(transceiver->mediaType()) == section.kind) {
          match = transceiver;
          break;
        }
      }
    }
    if (!match) continue;
    std::lock_guard lock(match->mutex_);
    match->negotiation_.mid = section.mid;
    match->negotiation_.mline_index = index;
  }
  if (type == RTCSdpTypeOffer) {
    was_offerer_ = true;
    changeSignalingState(RTCSignalingStateHaveLocalOffer, out);
  } else if (type == RTCSdpTypePrAnswer) {
    changeSignalingState(RTCSignalingStateHaveLocalPrAnswer, out);
  } else {
    changeSignalingState(RTCSignalingStateStable, out);
    finishNegotiation(out);
  }
}

void RTCPeerConnection::applyRemote(RTCSdpType type, const SdpSession& session,
                                    Notifications& out) {
  if (type == RTCSdpTypeRollback) {
    remote_description_ = stable_remote_description_;
    remote_session_ = stable_remote_session_;
    std::erase_if(transceivers_, [](const auto& transceiver) {
      std::lock_guard lock(transceiver->mutex_);
      return transceiver->negotiation_.created_by_remote &&
             !transceiver->negotiation_.current_direction;
    });
    for (const auto& transceiver : transceivers_) {
      std::lock_guard lock(transceiver->mutex_);
      if (!transceiver->negotiation_.current_direction) {
        transceiver->negotiation_.mid.clear();
        transceiver->negotiation_.mline_index.reset();
      }
    }
    changeSignalingState(RTCSignalingStateStable, out);
    returnedToStable(out);
    return;
  }
  remote_session_ = session;
  // The state change is reported before the tracks the description brings.
  if (type == RTCSdpTypeOffer) {
    was_offerer_ = false;
    changeSignalingState(RTCSignalingStateHaveRemoteOffer, out);
  } else if (type == RTCSdpTypePrAnswer) {
    changeSignalingState(RTCSignalingStateHaveRemotePrAnswer, out);
  } else {
    changeSignalingState(RTCSignalingStateStable, out);
  }
  applyRemoteSections(session, type == RTCSdpTypeOffer, out);
  if (type == RTCSdpTypeAnswer) finishNegotiation(out);
}

std::shared_ptr<RTCMediaStream> RTCPeerConnection::remoteStream(const std::string& streamId) {
  auto& stream = remote_streams_[streamId];
  if (!stream) stream = std::make_shared<RTCMediaStream>(streamId);
  return stream;
}

void RTCPeerConnection::applyRemoteSections(const SdpSession& session, bool isOffer,
                                            Notifications& out) {
  const bool plan_b = configuration_.sdpSemantics == RTCSdpSemanticsPlanB;
  for (size_t index = 0; index < session.media.size(); ++index) {
    const auto& section = session.media[index];
    if (section.kind == webrtc_model::kApplicationKind) {
      data_mid_ = section.mid;
      data_mline_index_ = index;
      continue;
    }
    std::shared_ptr<RTCRtpTransceiver> transceiver;
    for (const auto& entry : transceivers_) {
      if (entry->mid() == section.mid) transceiver = entry;
    }
    if (!transceiver && isOffer) {
      for (const auto& entry : transceivers_) {
        std::lock_guard lock(entry->mutex_);
        if (entry->negotiation_.mid.empty() && !entry->stopped_ &&
            entry->negotiation_.created_by_add_track &&
            kindOf(entry->media_type_) == section.kind) {
          transceiver = entry;
          break;
        }
      }
      if (!transceiver && !section.rejected) {
        RTCRtpTransceiverInit init;
        init.direction = RTCRtpTransceiverDirectionRecvOnly;
        const auto media_type = section.kind == kRTCMediaStreamTrackKindVideo
                                    ? RTCRtpMediaTypeVideo
                                    : RTCRtpMediaTypeAudio;
        transceiver = makeTransceiver(media_type, nullptr, init, section.track_id);
        transceiver->negotiation_.created_by_remote = true;
        transceivers_.push_back(transceiver);
      }
    }
    if (!transceiver) continue;

    const auto remote_direction =
        section.rejected ? RTCRtpTransceiverDirectionInactive : section.direction;
    bool starts = false;
    bool stops = false;
    {
      std::lock_guard lock(transceiver->mutex_);
      auto& negotiation = transceiver->negotiation_;
      negotiation.mid = section.mid;
      negotiation.mline_index = index;
      negotiation.remote_direction = remote_direction;
      negotiation.remote_stream_ids = section.stream_ids;
      const bool sends = webrtc_model::directionSends(remote_direction) && !transceiver->stopped_;
      starts = sends && !negotiation.receiving;
      stops = !sends && negotiation.receiving;
      negotiation.receiving = sends;
    }
    const auto& receiver = transceiver->receiver();
    const auto& track = receiver->track();
    if (starts) {
      std::vector<std::shared_ptr<RTCMediaStream>> streams;
      for (const auto& stream_id : section.stream_ids) {
        const bool is_new = remote_streams_.find(stream_id) == remote_streams_.end();
        auto stream = remoteStream(stream_id);
        addTrackToStream(*stream, track);
        streams.push_back(stream);
        if (plan_b && is_new) {
          out.push_back([stream](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& self) {
            delegate.peerConnectionDidAddStream(self, stream);
          });
        }
      }
      out.push_back(
          [receiver, streams](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& self) {
            delegate.peerConnectionDidAddReceiver(self, receiver, streams);
          });
      if (!plan_b) {
        out.push_back([transceiver](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& self) {
          delegate.peerConnectionDidStartReceivingOnTransceiver(self, transceiver);
        });
      }
    } else if (stops) {
      for (auto entry = remote_streams_.begin(); entry != remote_streams_.end();) {
        auto stream = entry->second;
        removeTrackFromStream(*stream, track);
        if (plan_b && stream->audioTracks().empty() && stream->videoTracks().empty()) {
          out.push_back([stream](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& self) {
            delegate.peerConnectionDidRemoveStream(self, stream);
          });
          entry = remote_streams_.erase(entry);
        } else {
          ++entry;
        }
      }
      out.push_back([receiver](RTCPeerConnectionDelegate& delegate, RTCPeerConnection& self) {
        delegate.peerConnectionDidRemoveReceiver(self, receiver);
      });
    }
  }
}

void RTCPeerConnection::finishNegotiation(Notifications& out) {
  if (!local_session_ || !remote_session_) return;
  const SdpSession& answer = was_offerer_ ? *remote_session_ : *local_session_;
  for (const auto& transceiver : transceivers_) {
    const std::string mid = transceiver->mid();
    const SdpMediaSection* local = local_session_->section(mid);
    const SdpMediaSection* remote = remote_session_->section(mid);
    if (mid.empty() || local == nullptr || remote == nullptr) continue;
    const auto local_direction =
        local->rejected ? RTCRtpTransceiverDirectionInactive : local->direction;
    const auto remote_direction =
        remote->rejected ? RTCRtpTransceiverDirectionInactive : remote->direction;
    {
      std::lock_guard lock(transceiver->mutex_);
      if (!transceiver->stopped_) {
        transceiver->negotiation_.current_direction = webrtc_model::intersectDirections(
            local_direction, webrtc_model::reverseDirection(remote_direction));
      }
    }
    std::vector<RTCRtpCodecParameters> codecs;
    if (const SdpMediaSection* negotiated = answer.section(mid)) {
      for (const auto& codec : negotiated->codecs) {
        codecs.push_back(toCodecParameters(codec, kindOf(transceiver->mediaType())));
      }
    }
    transceiver->sender()->setNegotiatedCodecs(codecs);
    transceiver->receiver()->setNegotiatedCodecs(std::move(codecs));
  }
  stable_local_description_ = local_description_;
  stable_remote_description_ = remote_description_;
  stable_local_session_ = local_session_;
  stable_remote_session_ = remote_session_;
  returnedToStable(out);
}
