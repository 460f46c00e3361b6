// An ICE candidate: its SDP line and the media section it belongs to.
#pragma once

#include <string>

class RTCIceCandidate {
 public:
  RTCIceCandidate(std::string sdp, int sdpMLineIndex, std::string sdpMid)
      : sdp_(std::move(sdp)), sdp_m_line_index_(sdpMLineIndex), sdp_mid_(std::move(sdpMid)) {}

  const std::string& sdp() const { return sdp_; }
  int sdpMLineIndex() const { return sdp_m_line_index_; }
  const std::string& sdpMid() const { return sdp_mid_; }

 private:
  std::string sdp_;
  int sdp_m_line_index_;
  std::string sdp_mid_;
};
