#include "plugins/webrtc_host/peer_connection_registry.h"

#include <algorithm>

namespace webrtc_host {

std::shared_ptr<RTCMediaStream> PeerConnectionRegistry::remoteStream(
    const std::string& streamId, const std::string& peerConnectionId) const {
  if (!peerConnectionId.empty()) {
    auto peer = find(peerConnectionId);
    return peer ? peer->remoteStream(streamId) : nullptr;
  }
  for (const auto& [id, peer] : *this) {
    if (auto stream = peer->remoteStream(streamId)) return stream;
  }
  return nullptr;
}

std::shared_ptr<RTCMediaStreamTrack> PeerConnectionRegistry::remoteTrack(
    const std::string& trackId, const std::optional<std::string>& peerConnectionId) const {
  for (const auto& [id, peer] : *this) {
    if (peerConnectionId && *peerConnectionId != id) continue;
    if (auto track = peer->remoteTrack(trackId)) return track;
    for (const auto& transceiver : peer->peerConnection()->transceivers()) {
      const auto& track = transceiver->receiver()->track();
      if (track && track->trackId() == trackId) return track;
    }
  }
  return nullptr;
}

std::optional<std::string> PeerConnectionRegistry::audioTrackIdForVideoTrackId(
    const std::string& videoTrackId) const {
  for (const auto& [id, peer] : *this) {
    const auto receivers = peer->peerConnection()->receivers();
    const bool has_video = std::any_of(receivers.begin(), receivers.end(), [&](const auto& entry) {
      const auto& track = entry->track();
      return track && track->kind() == kRTCMediaStreamTrackKindVideo &&
             track->trackId() == videoTrackId;
    });
    if (!has_video) continue;
    for (const auto& receiver : receivers) {
      const auto& track = receiver->track();
      if (track && track->kind() == kRTCMediaStreamTrackKindAudio) return track->trackId();
    }
  }
  return std::nullopt;
}

}  // namespace webrtc_host
