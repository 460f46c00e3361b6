// What a factory can send or receive for one media kind.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

enum RTCRtpMediaType : int {
  RTCRtpMediaTypeAudio = 0,
  RTCRtpMediaTypeVideo = 1,
  RTCRtpMediaTypeData = 2,
  RTCRtpMediaTypeUnsupported = 3,
};

struct RTCRtpCodecCapability {
  std::optional<int> preferredPayloadType;
  std::string name;
  // "audio" or "video".
  std::string kind;
  std::optional<int> clockRate;
  std::optional<int> numChannels;
  std::map<std::string, std::string> parameters;
  // kind/name, for example "video/VP8".
  std::string mimeType;
  friend bool operator==(const RTCRtpCodecCapability&, const RTCRtpCodecCapability&) = default;
};

struct RTCRtpHeaderExtensionCapability {
  std::string uri;
  std::optional<int> preferredId;
  bool preferredEncrypted = false;
};

struct RTCRtpCapabilities {
  std::vector<RTCRtpCodecCapability> codecs;
  std::vector<RTCRtpHeaderExtensionCapability> headerExtensions;
};
