// The SDP the framework model writes and reads: sessions with ICE credentials and media sections
// (kind, mid, direction, msid, codecs), and ICE candidate lines.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/webrtc/rtc_rtp_transceiver.h"

namespace webrtc_model {

inline constexpr const char* kApplicationKind = "application";

struct SdpCodec {
  int payload_type = 0;
  std::string name;
  int clock_rate = 0;
  std::optional<int> channels;
  std::map<std::string, std::string> parameters;
};

struct SdpMediaSection {
  std::string kind;
  std::string mid;
  RTCRtpTransceiverDirection direction = RTCRtpTransceiverDirectionSendRecv;
  std::vector<std::string> stream_ids;
  std::string track_id;
  std::vector<SdpCodec> codecs;
  bool rejected = false;
};

struct SdpSession {
  uint64_t session_id = 0;
  uint64_t version = 0;
  std::string ice_ufrag;
  std::string ice_pwd;
  std::vector<SdpMediaSection> media;

  const SdpMediaSection* section(const std::string& mid) const;
  const SdpMediaSection* dataSection() const;
};

std::string writeSdp(const SdpSession& session);
// Nullopt, with the reason in `error`, for text this model cannot read.
std::optional<SdpSession> parseSdp(const std::string& text, std::string* error);

struct SdpCandidate {
  std::string foundation;
  int component = 1;
  std::string transport;
  uint64_t priority = 0;
  std::string address;
  uint32_t port = 0;
  std::string type;
  std::string ufrag;
};

std::string writeCandidate(const SdpCandidate& candidate);
// Accepts the line with or without its "a=" prefix.
std::optional<SdpCandidate> parseCandidate(const std::string& line);

RTCRtpTransceiverDirection reverseDirection(RTCRtpTransceiverDirection direction);
RTCRtpTransceiverDirection intersectDirections(RTCRtpTransceiverDirection a,
                                               RTCRtpTransceiverDirection b);
bool directionSends(RTCRtpTransceiverDirection direction);
bool directionReceives(RTCRtpTransceiverDirection direction);

}  // namespace webrtc_model
