// Offers, answers and the descriptions that carry them.
#include <algorithm>

#include "platform/foundation/ascii_case.h"
#include "platform/foundation/ns_uuid.h"
#include "platform/webrtc/media_kind.h"
#include "platform/webrtc/rtc_peer_connection.h"
#include "platform/webrtc/rtc_peer_connection_factory.h"

using webrtc_model::kindOf;
using webrtc_model::SdpCodec;
using webrtc_model::SdpMediaSection;
using webrtc_model::SdpSession;

namespace {

std::string freshToken(size_t length) {
  std::string token;
  for (char c : NSUUID().UUIDString() + NSUUID().UUIDString()) {
    if (c != '-' && token.size() < length) token += c;
  }
  return token;
}

std::vector<SdpCodec> toSdpCodecs(const std::vector<RTCRtpCodecCapability>& capabilities) {
  std::vector<SdpCodec> codecs;
  int next_dynamic = 96;
  for (const auto& capability : capabilities) {
    int payload_type = capability.preferredPayloadType.value_or(-1);
    bool taken = std::any_of(codecs.begin(), codecs.end(), [&](const SdpCodec& codec) {
      return codec.payload_type == payload_type;
    });
    if (payload_type < 0 || taken) {
      while (std::any_of(codecs.begin(), codecs.end(), [&](const SdpCodec& codec) {
        return codec.payload_type == next_dynamic;
      })) {
        ++next_dynamic;
      }
      payload_type = next_dynamic++;
    }
    codecs.push_back(SdpCodec{payload_type, capability.name, capability.clockRate.value_or(0),
                              capability.numChannels, capability.parameters});
  }
  return codecs;
}

bool codecMatches(const SdpCodec& codec, const RTCRtpCodecCapability& capability) {
  return foundation::asciiLowercased(codec.name) == foundation::asciiLowercased(capability.name) &&
         codec.clock_rate == capability.clockRate.value_or(0);
}

}  // namespace

std::string RTCPeerConnection::nextMid(const std::vector<std::string>& taken) const {
  for (int index = 0;; ++index) {
    std::string mid = std::to_string(index);
    if (std::find(taken.begin(), taken.end(), mid) == taken.end()) return mid;
  }
}

std::vector<SdpCodec> RTCPeerConnection::localCodecs(const RTCRtpTransceiver& transceiver) const {
  auto preferences = transceiver.codecPreferences();
  if (!preferences.empty()) return toSdpCodecs(preferences);
  return toSdpCodecs(
      factory_->rtpSenderCapabilitiesForKind(kindOf(transceiver.mediaType())).codecs);
}

std::vector<SdpCodec> RTCPeerConnection::answerCodecs(const RTCRtpTransceiver& transceiver,
                                                      const SdpMediaSection& offered) const {
  const std::string kind = kindOf(transceiver.mediaType());
  auto supported = factory_->rtpReceiverCapabilitiesForKind(kind).codecs;
  auto sendable = factory_->rtpSenderCapabilitiesForKind(kind).codecs;
  supported.insert(supported.end(), sendable.begin(), sendable.end());
  auto preferences = transceiver.codecPreferences();
  std::vector<SdpCodec> codecs;
  auto accept = [&](const SdpCodec& codec) {
    return std::any_of(supported.begin(), supported.end(),
                       [&](const auto& capability) { return codecMatches(codec, capability); });
  };
  if (preferences.empty()) {
    for (const auto& codec : offered.codecs) {
      if (accept(codec)) codecs.push_back(codec);
    }
    return codecs;
  }
  for (const auto& preference : preferences) {
    for (const auto& codec : offered.codecs) {
      if (codecMatches(codec, preference) && accept(codec)) {
        codecs.push_back(codec);
        break;
      }
    }
  }
  return codecs;
}

SdpMediaSection RTCPeerConnection::describe(const RTCRtpTransceiver& transceiver,
                                            const std::string& mid,
                                            RTCRtpTransceiverDirection direction) const {
  SdpMediaSection section;
  section.kind = kindOf(transceiver.mediaType());
  section.mid = mid;
  section.direction = direction;
  if (auto track = transceiver.sender()->track();
      track && webrtc_model::directionSends(direction)) {
    section.track_id = track->trackId();
    section.stream_ids = transceiver.sender()->streamIds();
  }
  return section;
}

std::string RTCPeerConnection::buildOffer(const RTCMediaConstraints& constraints) {
  const bool restart = ice_restart_pending_ || constraints.isTrue(kRTCMediaConstraintsIceRestart);
  for (auto [key, media_type] :
       {std::pair{kRTCMediaConstraintsOfferToReceiveAudio, RTCRtpMediaTypeAudio},
        std::pair{kRTCMediaConstraintsOfferToReceiveVideo, RTCRtpMediaTypeVideo}}) {
    if (!constraints.isTrue(key)) continue;
    bool has_kind = std::any_of(transceivers_.begin(), transceivers_.end(), [&](const auto& entry) {
      return entry->mediaType() == media_type && !entry->isStopped();
    });
    if (!has_kind) {
      RTCRtpTransceiverInit init;
      init.direction = RTCRtpTransceiverDirectionRecvOnly;
      transceivers_.push_back(makeTransceiver(media_type, nullptr, init, ""));
    }
  }

  std::vector<std::string> taken;
  for (const auto& transceiver : transceivers_) {
    if (auto mid = transceiver->mid(); !mid.empty()) taken.push_back(mid);
  }
  if (!data_mid_.empty()) taken.push_back(data_mid_);

  // Sections keep the place they had; new ones follow in creation order.
  std::vector<std::pair<size_t, SdpMediaSection>> placed;
  std::vector<SdpMediaSection> appended;
  for (const auto& transceiver : transceivers_) {
    std::string mid;
    std::optional<size_t> mline_index;
    bool stopped;
    RTCRtpTransceiverDirection direction;
    {
      std::lock_guard lock(transceiver->mutex_);
      mid = transceiver->negotiation_.mid;
      mline_index = transceiver->negotiation_.mline_index;
      stopped = transceiver->stopped_;
      direction = transceiver->direction_;
    }
    if (stopped && mid.empty()) continue;
    if (mid.empty()) {
      mid = nextMid(taken);
      taken.push_back(mid);
    }
    SdpMediaSection section = describe(*transceiver, mid, direction);
    section.codecs = localCodecs(*transceiver);
    if (stopped) {
      section.rejected = true;
      section.direction = RTCRtpTransceiverDirectionInactive;
    }
    if (mline_index) {
      placed.emplace_back(*mline_index, std::move(section));
    } else {
      appended.push_back(std::move(section));
    }
  }
  if (!data_channels_.empty() || !data_mid_.empty()) {
    SdpMediaSection data;
    data.kind = webrtc_model::kApplicationKind;
    data.mid = data_mid_.empty() ? nextMid(taken) : data_mid_;
    if (data_mline_index_) {
      placed.emplace_back(*data_mline_index_, std::move(data));
    } else {
      appended.push_back(std::move(data));
    }
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  SdpSession session;
  session.session_id = std::stoull(session_id_);
  session.version = ++session_version_;
  session.ice_ufrag = restart ? freshToken(8) : ice_ufrag_;
  session.ice_pwd = restart ? freshToken(24) : ice_pwd_;
  for (auto& [index, section] : placed) session.media.push_back(std::move(section));
  for (auto& section : appended) session.media.push_back(std::move(section));
  return webrtc_model::writeSdp(session);
}

std::optional<std::string> RTCPeerConnection::buildAnswer(std::string* failure) {
  if (signaling_state_ != RTCSignalingStateHaveRemoteOffer &&
      signaling_state_ != RTCSignalingStateHaveLocalPrAnswer) {
    *failure =
        "PeerConnection cannot create an answer in a state other than have-remote-offer or "
        "have-local-pranswer.";
    return std::nullopt;
  }
  const bool restart =
      ice_restart_pending_ || (stable_remote_session_ && remote_session_ &&
                               stable_remote_session_->ice_ufrag != remote_session_->ice_ufrag);
  SdpSession session;
  session.session_id = std::stoull(session_id_);
  session.version = ++session_version_;
  session.ice_ufrag = restart ? freshToken(8) : ice_ufrag_;
  session.ice_pwd = restart ? freshToken(24) : ice_pwd_;
  for (const auto& offered : remote_session_->media) {
    if (offered.kind == webrtc_model::kApplicationKind) {
      SdpMediaSection data;
      data.kind = webrtc_model::kApplicationKind;
      data.mid = offered.mid;
      data.rejected = offered.rejected;
      session.media.push_back(std::move(data));
      continue;
    }
    auto found = std::find_if(transceivers_.begin(), transceivers_.end(),
                              [&](const auto& entry) { return entry->mid() == offered.mid; });
    if (found == transceivers_.end()) {
      SdpMediaSection rejected;
      rejected.kind = offered.kind;
      rejected.mid = offered.mid;
      rejected.rejected = true;
      rejected.direction = RTCRtpTransceiverDirectionInactive;
      rejected.codecs = offered.codecs;
      session.media.push_back(std::move(rejected));
      continue;
    }
    const auto& transceiver = *found;
    const auto direction = webrtc_model::intersectDirections(
        transceiver->direction(), webrtc_model::reverseDirection(offered.direction));
    SdpMediaSection section = describe(*transceiver, offered.mid, direction);
    section.codecs = answerCodecs(*transceiver, offered);
    if (offered.rejected || transceiver->isStopped() || section.codecs.empty()) {
      section.rejected = true;
      section.direction = RTCRtpTransceiverDirectionInactive;
      if (section.codecs.empty()) section.codecs = offered.codecs;
    }
    session.media.push_back(std::move(section));
  }
  return webrtc_model::writeSdp(session);
}

void RTCPeerConnection::offerForConstraints(const RTCMediaConstraints& constraints,
                                            SessionDescriptionHandler completionHandler) {
  onSignalingThread([constraints, handler = std::move(completionHandler)](RTCPeerConnection& self) {
    std::optional<NSError> failure;
    std::string sdp;
    {
      std::lock_guard lock(self.mutex_);
      if (self.closed_) {
        failure = self.error("The peer connection is closed");
      } else if (auto injected = self.takeInjectedFailure(Operation::createOffer)) {
        failure = injected;
      } else {
        sdp = self.buildOffer(constraints);
      }
    }
    if (!handler) return;
    if (failure) {
      handler(std::nullopt, failure);
    } else {
      handler(RTCSessionDescription(RTCSdpTypeOffer, sdp), std::nullopt);
    }
  });
}

void RTCPeerConnection::answerForConstraints(const RTCMediaConstraints& /*constraints*/,
                                             SessionDescriptionHandler completionHandler) {
  onSignalingThread([handler = std::move(completionHandler)](RTCPeerConnection& self) {
    std::optional<NSError> failure;
    std::optional<std::string> sdp;
    {
      std::lock_guard lock(self.mutex_);
      std::string reason;
      if (self.closed_) {
        failure = self.error("The peer connection is closed");
      } else if (auto injected = self.takeInjectedFailure(Operation::createAnswer)) {
        failure = injected;
      } else if (sdp = self.buildAnswer(&reason); !sdp) {
        failure = self.error(reason);
      }
    }
    if (!handler) return;
    if (failure) {
      handler(std::nullopt, failure);
    } else {
      handler(RTCSessionDescription(RTCSdpTypeAnswer, *sdp), std::nullopt);
    }
  });
}
