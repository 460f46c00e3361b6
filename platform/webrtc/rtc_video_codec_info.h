// A video codec an encoder or decoder factory supports: its name and format parameters.
#pragma once

#include <map>
#include <string>

inline constexpr const char* kRTCVideoCodecH264Name = "H264";
inline constexpr const char* kRTCVideoCodecVp8Name = "VP8";
inline constexpr const char* kRTCVideoCodecVp9Name = "VP9";
inline constexpr const char* kRTCVideoCodecAv1Name = "AV1";

struct RTCVideoCodecInfo {
  RTCVideoCodecInfo() = default;
  explicit RTCVideoCodecInfo(std::string name, std::map<std::string, std::string> parameters = {})
      : name(std::move(name)), parameters(std::move(parameters)) {}

  std::string name;
  std::map<std::string, std::string> parameters;

  friend bool operator==(const RTCVideoCodecInfo&, const RTCVideoCodecInfo&) = default;
};
