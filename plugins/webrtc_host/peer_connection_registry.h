// The peer connections the Dart side has made, by id, and what they received.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "plugins/webrtc_host/flutter_peer_connection.h"
#include "plugins/webrtc_host/registry.h"

namespace webrtc_host {

class PeerConnectionRegistry : public Registry<std::string, FlutterPeerConnection> {
 public:
  // A stream received by the named connection, or by any when the id is empty; else null.
  std::shared_ptr<RTCMediaStream> remoteStream(const std::string& streamId,
                                               const std::string& peerConnectionId) const;
  // A track received in a stream or on a transceiver; of the named connection only, if named.
  std::shared_ptr<RTCMediaStreamTrack> remoteTrack(
      const std::string& trackId,
      const std::optional<std::string>& peerConnectionId = std::nullopt) const;
  // The audio track received beside a received video track.
  std::optional<std::string> audioTrackIdForVideoTrackId(const std::string& videoTrackId) const;
};

}  // namespace webrtc_host
