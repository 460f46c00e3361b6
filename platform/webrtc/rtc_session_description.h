// A session description: its type and SDP text.
#pragma once

#include <optional>
#include <string>

enum RTCSdpType : int {
  RTCSdpTypeOffer = 0,
  RTCSdpTypePrAnswer = 1,
  RTCSdpTypeAnswer = 2,
  RTCSdpTypeRollback = 3,
};

class RTCSessionDescription {
 public:
  RTCSessionDescription(RTCSdpType type, std::string sdp) : type_(type), sdp_(std::move(sdp)) {}

  // "offer", "pranswer", "answer", "rollback".
  static std::string stringForType(RTCSdpType type);
  // Nullopt for any other string.
  static std::optional<RTCSdpType> typeForString(const std::string& string);

  RTCSdpType type() const { return type_; }
  const std::string& sdp() const { return sdp_; }

 private:
  RTCSdpType type_;
  std::string sdp_;
};
