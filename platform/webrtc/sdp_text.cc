#include "platform/webrtc/sdp_text.h"

#include <charconv>
#include <sstream>

namespace webrtc_model {
namespace {

// Hostile text is refused before it costs anything.
constexpr size_t kMaxSdpSize = 1 << 20;
constexpr size_t kMaxMediaSections = 256;

const char* directionAttribute(RTCRtpTransceiverDirection direction) {
  switch (direction) {
    case RTCRtpTransceiverDirectionSendRecv:
      return "sendrecv";
    case RTCRtpTransceiverDirectionSendOnly:
      return "sendonly";
    case RTCRtpTransceiverDirectionRecvOnly:
      return "recvonly";
    default:
      return "inactive";
  }
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> splitWords(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream stream(text);
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

template <typename Integer>
std::optional<Integer> parseInteger(const std::string& text) {
  Integer value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string fmtpLine(const std::map<std::string, std::string>& parameters) {
  std::string line;
  for (const auto& [key, value] : parameters) {
    if (!line.empty()) line += ';';
    line += key + "=" + value;
  }
  return line;
}

std::map<std::string, std::string> parseFmtp(const std::string& text) {
  std::map<std::string, std::string> parameters;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string pair = text.substr(start, end - start);
    size_t equals = pair.find('=');
    if (equals != std::string::npos) parameters[pair.substr(0, equals)] = pair.substr(equals + 1);
    start = end + 1;
  }
  return parameters;
}

SdpCodec* codecFor(SdpMediaSection& section, int payload_type) {
  for (auto& codec : section.codecs) {
    if (codec.payload_type == payload_type) return &codec;
  }
  return nullptr;
}

// Reads one "a=" attribute of a media section. Answers false for a malformed known attribute.
bool readMediaAttribute(const std::string& name, const std::string& value,
                        SdpMediaSection& section) {
  if (name == "mid") {
    section.mid = value;
  } else if (name == "sendrecv") {
    section.direction = RTCRtpTransceiverDirectionSendRecv;
  } else if (name == "sendonly") {
    section.direction = RTCRtpTransceiverDirectionSendOnly;
  } else if (name == "recvonly") {
    section.direction = RTCRtpTransceiverDirectionRecvOnly;
  } else if (name == "inactive") {
    section.direction = RTCRtpTransceiverDirectionInactive;
  } else if (name == "msid") {
    auto words = splitWords(value);
    if (words.empty()) return false;
    if (words[0] != "-") section.stream_ids.push_back(words[0]);
    if (words.size() > 1) section.track_id = words[1];
  } else if (name == "rtpmap") {
    auto words = splitWords(value);
    if (words.size() != 2) return false;
    auto payload_type = parseInteger<int>(words[0]);
    if (!payload_type) return false;
    SdpCodec* codec = codecFor(section, *payload_type);
    if (codec == nullptr) return false;
    std::istringstream parts(words[1]);
    std::string clock;
    std::string channels;
    std::getline(parts, codec->name, '/');
    std::getline(parts, clock, '/');
    std::getline(parts, channels, '/');
    auto clock_rate = parseInteger<int>(clock);
    if (codec->name.empty() || !clock_rate) return false;
    codec->clock_rate = *clock_rate;
    if (!channels.empty()) codec->channels = parseInteger<int>(channels);
  } else if (name == "fmtp") {
    size_t space = value.find(' ');
    if (space == std::string::npos) return false;
    auto payload_type = parseInteger<int>(value.substr(0, space));
    if (!payload_type) return false;
    if (SdpCodec* codec = codecFor(section, *payload_type)) {
      codec->parameters = parseFmtp(value.substr(space + 1));
    }
  }
  return true;
}

}  // namespace

const SdpMediaSection* SdpSession::section(const std::string& mid) const {
  for (const auto& entry : media) {
    if (entry.mid == mid) return &entry;
  }
  return nullptr;
}

const SdpMediaSection* SdpSession::dataSection() const {
  for (const auto& entry : media) {
    if (entry.kind == kApplicationKind && !entry.rejected) return &entry;
  }
  return nullptr;
}

std::string writeSdp(const SdpSession& session) {
  std::ostringstream out;
  out << "v=0\r\n"
      << "o=- " << session.session_id << " " << session.version << " IN IP4 127.0.0.1\r\n"
      << "s=-\r\n"
      << "t=0 0\r\n";
  std::string bundle;
  for (const auto& section : session.media) {
    if (!section.rejected) bundle += " " + section.mid;
  }
  if (!bundle.empty()) out << "a=group:BUNDLE" << bundle << "\r\n";
  out << "a=ice-ufrag:" << session.ice_ufrag << "\r\n"
      << "a=ice-pwd:" << session.ice_pwd << "\r\n"
      << "a=msid-semantic: WMS\r\n";
  for (const auto& section : session.media) {
    const int port = section.rejected ? 0 : 9;
    if (section.kind == kApplicationKind) {
      out << "m=application " << port << " UDP/DTLS/SCTP webrtc-datachannel\r\n"
          << "c=IN IP4 0.0.0.0\r\n"
          << "a=mid:" << section.mid << "\r\n"
          << "a=sctp-port:5000\r\n";
      continue;
    }
    out << "m=" << section.kind << " " << port << " UDP/TLS/RTP/SAVPF";
    for (const auto& codec : section.codecs) out << " " << codec.payload_type;
    out << "\r\n"
        << "c=IN IP4 0.0.0.0\r\n"
        << "a=mid:" << section.mid << "\r\n"
        << "a=" << directionAttribute(section.direction) << "\r\n"
        << "a=rtcp-mux\r\n";
    if (!section.track_id.empty()) {
      if (section.stream_ids.empty()) {
        out << "a=msid:- " << section.track_id << "\r\n";
      }
      for (const auto& stream_id : section.stream_ids) {
        out << "a=msid:" << stream_id << " " << section.track_id << "\r\n";
      }
    }
    for (const auto& codec : section.codecs) {
      out << "a=rtpmap:" << codec.payload_type << " " << codec.name << "/" << codec.clock_rate;
      if (codec.channels && *codec.channels > 1) out << "/" << *codec.channels;
      out << "\r\n";
      if (!codec.parameters.empty()) {
        out << "a=fmtp:" << codec.payload_type << " " << fmtpLine(codec.parameters) << "\r\n";
      }
    }
  }
  return out.str();
}

std::optional<SdpSession> parseSdp(const std::string& text, std::string* error) {
  auto fail = [error](const std::string& reason) -> std::optional<SdpSession> {
    if (error != nullptr) *error = reason;
    return std::nullopt;
  };
  if (text.size() > kMaxSdpSize) return fail("the description is too large");
  auto lines = splitLines(text);
  if (lines.empty() || lines[0] != "v=0") return fail("the description does not start with v=0");
  SdpSession session;
  SdpMediaSection* current = nullptr;
  for (const auto& line : lines) {
    if (line.size() < 2 || line[1] != '=') return fail("malformed line: " + line);
    const char type = line[0];
    const std::string body = line.substr(2);
    if (type == 'o') {
      auto words = splitWords(body);
      if (words.size() < 3) return fail("malformed origin line");
      session.session_id = parseInteger<uint64_t>(words[1]).value_or(0);
      session.version = parseInteger<uint64_t>(words[2]).value_or(0);
    } else if (type == 'm') {
      auto words = splitWords(body);
      if (words.size() < 3) return fail("malformed media line: " + line);
      if (session.media.size() >= kMaxMediaSections) return fail("too many media sections");
      auto port = parseInteger<uint32_t>(words[1]);
      if (!port) return fail("malformed port in media line: " + line);
      SdpMediaSection section;
      section.kind = words[0];
      if (section.kind != "audio" && section.kind != "video" && section.kind != kApplicationKind) {
        return fail("unsupported media kind: " + section.kind);
      }
      section.rejected = *port == 0;
      if (section.kind != kApplicationKind) {
        for (size_t i = 3; i < words.size(); ++i) {
          auto payload_type = parseInteger<int>(words[i]);
          if (!payload_type || *payload_type < 0 || *payload_type > 127) {
            return fail("malformed payload type: " + words[i]);
          }
          section.codecs.push_back(SdpCodec{*payload_type, "", 0, std::nullopt, {}});
        }
      }
      session.media.push_back(std::move(section));
      current = &session.media.back();
    } else if (type == 'a') {
      size_t colon = body.find(':');
      std::string name = body.substr(0, colon);
      std::string value = colon == std::string::npos ? "" : body.substr(colon + 1);
      if (name == "ice-ufrag") {
        session.ice_ufrag = value;
      } else if (name == "ice-pwd") {
        session.ice_pwd = value;
      } else if (current != nullptr && !readMediaAttribute(name, value, *current)) {
        return fail("malformed attribute: " + line);
      }
    }
  }
  for (const auto& section : session.media) {
    if (section.mid.empty()) return fail("a media section has no mid");
    for (const auto& codec : section.codecs) {
      if (codec.name.empty()) return fail("a payload type has no rtpmap");
    }
  }
  if (!session.media.empty() && session.ice_ufrag.empty()) return fail("no ICE user fragment");
  return session;
}

std::string writeCandidate(const SdpCandidate& candidate) {
  std::ostringstream out;
  out << "candidate:" << candidate.foundation << " " << candidate.component << " "
      << candidate.transport << " " << candidate.priority << " " << candidate.address << " "
      << candidate.port << " typ " << candidate.type << " generation 0";
  if (!candidate.ufrag.empty()) out << " ufrag " << candidate.ufrag;
  out << " network-id 1";
  return out.str();
}

std::optional<SdpCandidate> parseCandidate(const std::string& line) {
  std::string text = line.rfind("a=", 0) == 0 ? line.substr(2) : line;
  if (text.rfind("candidate:", 0) != 0 || text.size() > 4096) return std::nullopt;
  auto words = splitWords(text.substr(10));
  if (words.size() < 8 || words[6] != "typ") return std::nullopt;
  auto component = parseInteger<int>(words[1]);
  auto priority = parseInteger<uint64_t>(words[3]);
  auto port = parseInteger<uint32_t>(words[5]);
  if (!component || !priority || !port || *port > 65535) return std::nullopt;
  SdpCandidate candidate;
  candidate.foundation = words[0];
  candidate.component = *component;
  candidate.transport = words[2];
  candidate.priority = *priority;
  candidate.address = words[4];
  candidate.port = *port;
  candidate.type = words[7];
  for (size_t i = 8; i + 1 < words.size(); i += 2) {
    if (words[i] == "ufrag") candidate.ufrag = words[i + 1];
  }
  return candidate;
}

RTCRtpTransceiverDirection reverseDirection(RTCRtpTransceiverDirection direction) {
  switch (direction) {
    case RTCRtpTransceiverDirectionSendOnly:
      return RTCRtpTransceiverDirectionRecvOnly;
    case RTCRtpTransceiverDirectionRecvOnly:
      return RTCRtpTransceiverDirectionSendOnly;
    default:
      return direction;
  }
}

bool directionSends(RTCRtpTransceiverDirection direction) {
  return direction == RTCRtpTransceiverDirectionSendRecv ||
         direction == RTCRtpTransceiverDirectionSendOnly;
}

bool directionReceives(RTCRtpTransceiverDirection direction) {
  return direction == RTCRtpTransceiverDirectionSendRecv ||
         direction == RTCRtpTransceiverDirectionRecvOnly;
}

RTCRtpTransceiverDirection intersectDirections(RTCRtpTransceiverDirection a,
                                               RTCRtpTransceiverDirection b) {
  const bool sends = directionSends(a) && directionSends(b);
  const bool receives = directionReceives(a) && directionReceives(b);
  if (sends && receives) return RTCRtpTransceiverDirectionSendRecv;
  if (sends) return RTCRtpTransceiverDirectionSendOnly;
  if (receives) return RTCRtpTransceiverDirectionRecvOnly;
  return RTCRtpTransceiverDirectionInactive;
}

}  // namespace webrtc_model
