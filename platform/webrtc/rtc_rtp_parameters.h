// RTP parameters of a sender or receiver: value records, read and written whole.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

enum RTCPriority : int {
  RTCPriorityVeryLow = 0,
  RTCPriorityLow = 1,
  RTCPriorityMedium = 2,
  RTCPriorityHigh = 3,
};

enum RTCDegradationPreference : int {
  RTCDegradationPreferenceDisabled = 0,
  RTCDegradationPreferenceMaintainFramerate = 1,
  RTCDegradationPreferenceMaintainResolution = 2,
  RTCDegradationPreferenceBalanced = 3,
};

struct RTCRtcpParameters {
  std::string cname;
  bool isReducedSize = false;
  friend bool operator==(const RTCRtcpParameters&, const RTCRtcpParameters&) = default;
};

struct RTCRtpHeaderExtension {
  std::string uri;
  int id = 0;
  bool isEncrypted = false;
  friend bool operator==(const RTCRtpHeaderExtension&, const RTCRtpHeaderExtension&) = default;
};

struct RTCRtpEncodingParameters {
  std::optional<std::string> rid;
  bool isActive = true;
  std::optional<int> maxBitrateBps;
  std::optional<int> minBitrateBps;
  std::optional<int> maxFramerate;
  std::optional<int> numTemporalLayers;
  std::optional<double> scaleResolutionDownBy;
  // Chosen by the framework; setting it has no effect.
  std::optional<uint32_t> ssrc;
  std::optional<std::string> scalabilityMode;
  double bitratePriority = 1.0;
  RTCPriority networkPriority = RTCPriorityLow;
  friend bool operator==(const RTCRtpEncodingParameters&,
                         const RTCRtpEncodingParameters&) = default;
};

struct RTCRtpCodecParameters {
  std::string name;
  int payloadType = 0;
  std::optional<int> clockRate;
  std::optional<int> numChannels;
  std::map<std::string, std::string> parameters;
  std::string kind;
  friend bool operator==(const RTCRtpCodecParameters&, const RTCRtpCodecParameters&) = default;
};

struct RTCRtpParameters {
  std::string transactionId;
  RTCRtcpParameters rtcp;
  std::vector<RTCRtpHeaderExtension> headerExtensions;
  std::vector<RTCRtpEncodingParameters> encodings;
  std::vector<RTCRtpCodecParameters> codecs;
  // An RTCDegradationPreference, or none.
  std::optional<int> degradationPreference;
  friend bool operator==(const RTCRtpParameters&, const RTCRtpParameters&) = default;
};
