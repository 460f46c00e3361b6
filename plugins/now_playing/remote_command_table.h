// The remote commands the bridge offers, by action number: the numbers the Dart side uses in
// "controls" and "systemActions", the command behind each, and the call that the command becomes
// on the Dart side.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>

#include "platform/flutter/value.h"
#include "platform/mediaplayer/mp_remote_command_center.h"

namespace now_playing {

inline constexpr size_t kActionCount = 25;
inline constexpr int kSkipBackwardAction = 3;
inline constexpr int kSkipForwardAction = 6;
inline constexpr int kTogglePlayPauseAction = 9;

// How applying the action set treats a command.
enum class CommandRule {
  // Enabled with a target, disabled without one.
  target,
  // As `target`, but only with an interval of at least a millisecond to offer.
  skipInterval,
  // Only the enabled state follows the action set; the target is set at activation.
  enabledOnly,
};

struct RemoteCommandSlot {
  std::shared_ptr<MPRemoteCommand> (*command)(const MPRemoteCommandCenter& center);
  CommandRule rule;
  // The method called on the Dart side when the user gives the command.
  const char* method;
  // Its arguments, or nullopt when the event is not one the command can carry.
  std::optional<flutter::Value> (*arguments)(const MPRemoteCommandEvent& event);
};

// nullopt for the action numbers without a command.
const std::array<std::optional<RemoteCommandSlot>, kActionCount>& remoteCommandSlots();

}  // namespace now_playing
