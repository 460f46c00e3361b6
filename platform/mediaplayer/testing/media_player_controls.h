// Test controls for the MediaPlayer stand-in: give a remote command as the user would, see its
// targets, and read every piece of now-playing information that was published.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/mediaplayer/mp_now_playing_info_center.h"
#include "platform/mediaplayer/mp_remote_command.h"

namespace mediaplayer::testing {

// Calls every target of `command` with `event`, in the order they were added, as the system does
// when the user gives the command, and answers their statuses. A disabled command reaches no
// target, as the system does not offer it.
std::vector<MPRemoteCommandHandlerStatus> sendRemoteCommand(
    MPRemoteCommand& command, const MPRemoteCommandEvent& event = MPRemoteCommandEvent());

size_t targetCount(const MPRemoteCommand& command);

// Every information the default centre was given since the last call, in order; nullopt for a
// clearing.
std::vector<std::optional<MPNowPlayingInfo>> takeNowPlayingInfoPublications();

}  // namespace mediaplayer::testing
