#include "platform/webrtc/rtc_session_description.h"

std::string RTCSessionDescription::stringForType(RTCSdpType type) {
  switch (type) {
    case RTCSdpTypeOffer:
      return "offer";
    case RTCSdpTypePrAnswer:
      return "pranswer";
    case RTCSdpTypeAnswer:
      return "answer";
    case RTCSdpTypeRollback:
      return "rollback";
  }
  return "";
}

std::optional<RTCSdpType> RTCSessionDescription::typeForString(const std::string& string) {
  if (string == "offer") return RTCSdpTypeOffer;
  if (string == "pranswer") return RTCSdpTypePrAnswer;
  if (string == "answer") return RTCSdpTypeAnswer;
  if (string == "rollback") return RTCSdpTypeRollback;
  return std::nullopt;
}
