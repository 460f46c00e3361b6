// Process-wide state of the framework model: field trials, the codec list tests may substitute,
// the live factories and peer connections, and the in-memory network that connects peer
// connections of this process to each other by their ICE user fragments.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/webrtc/rtc_video_codec_info.h"

class RTCPeerConnection;
class RTCPeerConnectionFactory;

namespace webrtc_model {

struct FrameworkRegistry {
  std::mutex mutex;
  std::map<std::string, std::string> field_trials;
  std::optional<std::vector<RTCVideoCodecInfo>> video_codecs_override;
  std::vector<std::weak_ptr<RTCPeerConnectionFactory>> factories;
  std::vector<std::weak_ptr<RTCPeerConnection>> peer_connections;
  int refused_peer_connections = 0;
  std::map<std::string, std::weak_ptr<RTCPeerConnection>> endpoints;
  uint32_t next_port = 50000;
};

FrameworkRegistry& frameworkRegistry();

// The peer connection that listens under an ICE user fragment, if it still lives.
std::shared_ptr<RTCPeerConnection> endpointForUfrag(const std::string& ufrag);
void registerEndpoint(const std::string& ufrag, const std::shared_ptr<RTCPeerConnection>& peer);
uint32_t allocatePort();

}  // namespace webrtc_model
