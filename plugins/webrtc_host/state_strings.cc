#include "plugins/webrtc_host/state_strings.h"

#include <array>
#include <span>

namespace webrtc_host {
namespace {

std::optional<std::string> lookup(std::span<const char* const> table, int index) {
  if (index < 0 || static_cast<size_t>(index) >= table.size()) return std::nullopt;
  return table[static_cast<size_t>(index)];
}

constexpr std::array<const char*, 6> kSignalingStates{"stable",
                                                      "have-local-offer",
                                                      "have-local-pranswer",
                                                      "have-remote-offer",
                                                      "have-remote-pranswer",
                                                      "closed"};
constexpr std::array<const char*, 8> kIceConnectionStates{
    "new", "checking", "connected", "completed", "failed", "disconnected", "closed", "count"};
constexpr std::array<const char*, 3> kIceGatheringStates{"new", "gathering", "complete"};
constexpr std::array<const char*, 6> kPeerConnectionStates{
    "new", "connecting", "connected", "disconnected", "failed", "closed"};

}  // namespace

std::optional<std::string> stringForSignalingState(int state) {
  return lookup(kSignalingStates, state);
}

std::optional<std::string> stringForICEConnectionState(int state) {
  return lookup(kIceConnectionStates, state);
}

std::optional<std::string> stringForICEGatheringState(int state) {
  return lookup(kIceGatheringStates, state);
}

std::optional<std::string> stringForPeerConnectionState(int state) {
  return lookup(kPeerConnectionStates, state);
}

}  // namespace webrtc_host
