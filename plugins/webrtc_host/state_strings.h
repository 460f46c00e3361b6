// The strings of the framework's peer-connection states; an index outside a table has none.
#pragma once

#include <optional>
#include <string>

namespace webrtc_host {

std::optional<std::string> stringForSignalingState(int state);
std::optional<std::string> stringForICEConnectionState(int state);
std::optional<std::string> stringForICEGatheringState(int state);
std::optional<std::string> stringForPeerConnectionState(int state);

}  // namespace webrtc_host
