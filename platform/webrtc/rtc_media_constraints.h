// Media constraints: mandatory and optional string pairs.
#pragma once

#include <map>
#include <string>

// Offer and answer constraints the framework reads.
inline constexpr const char* kRTCMediaConstraintsOfferToReceiveAudio = "OfferToReceiveAudio";
inline constexpr const char* kRTCMediaConstraintsOfferToReceiveVideo = "OfferToReceiveVideo";
inline constexpr const char* kRTCMediaConstraintsIceRestart = "IceRestart";
inline constexpr const char* kRTCMediaConstraintsValueTrue = "true";

class RTCMediaConstraints {
 public:
  RTCMediaConstraints() = default;
  RTCMediaConstraints(std::map<std::string, std::string> mandatory,
                      std::map<std::string, std::string> optional)
      : mandatory_(std::move(mandatory)), optional_(std::move(optional)) {}

  const std::map<std::string, std::string>& mandatory() const { return mandatory_; }
  const std::map<std::string, std::string>& optional() const { return optional_; }

  // True when a mandatory, or else an optional, pair names `key` with "true".
  bool isTrue(const std::string& key) const;

 private:
  std::map<std::string, std::string> mandatory_;
  std::map<std::string, std::string> optional_;
};

inline bool RTCMediaConstraints::isTrue(const std::string& key) const {
  if (auto found = mandatory_.find(key); found != mandatory_.end()) {
    return found->second == kRTCMediaConstraintsValueTrue;
  }
  auto found = optional_.find(key);
  return found != optional_.end() && found->second == kRTCMediaConstraintsValueTrue;
}
