#include "platform/mediaplayer/testing/media_player_controls.h"

#include <utility>

namespace mediaplayer::testing {

std::vector<MPRemoteCommandHandlerStatus> sendRemoteCommand(MPRemoteCommand& command,
                                                            const MPRemoteCommandEvent& event) {
  std::vector<MPRemoteCommandHandler> handlers;
  {
    std::lock_guard lock(command.mutex_);
    if (!command.enabled_) return {};
    for (const auto& target : command.targets_) handlers.push_back(target.handler);
  }
  // Called outside the lock: a handler may add or remove targets.
  std::vector<MPRemoteCommandHandlerStatus> statuses;
  for (const auto& handler : handlers) statuses.push_back(handler(event));
  return statuses;
}

size_t targetCount(const MPRemoteCommand& command) {
  std::lock_guard lock(command.mutex_);
  return command.targets_.size();
}

std::vector<std::optional<MPNowPlayingInfo>> takeNowPlayingInfoPublications() {
  auto center = MPNowPlayingInfoCenter::defaultCenter();
  std::lock_guard lock(center->mutex_);
  std::vector<std::optional<MPNowPlayingInfo>> taken(
      std::make_move_iterator(center->publications_.begin()),
      std::make_move_iterator(center->publications_.end()));
  center->publications_.clear();
  return taken;
}

}  // namespace mediaplayer::testing
