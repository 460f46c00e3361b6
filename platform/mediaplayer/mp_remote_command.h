// One remote command (play, pause, seek...): whether the system offers it, and the targets it
// calls when the user gives it. A command starts enabled and without targets. Adding the same
// handler twice gives two targets, and both are called.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/mediaplayer/mp_remote_command_event.h"

enum MPRemoteCommandHandlerStatus : long {
  MPRemoteCommandHandlerStatusSuccess = 0,
  MPRemoteCommandHandlerStatusNoSuchContent = 100,
  MPRemoteCommandHandlerStatusNoActionableNowPlayingItem = 110,
  MPRemoteCommandHandlerStatusDeviceNotFound = 120,
  MPRemoteCommandHandlerStatusCommandFailed = 200,
};

using MPRemoteCommandHandler =
    std::function<MPRemoteCommandHandlerStatus(const MPRemoteCommandEvent& event)>;

// Names a target added to a command, for removing it again.
struct MPRemoteCommandTarget {
  uint64_t id = 0;
  friend bool operator==(const MPRemoteCommandTarget&, const MPRemoteCommandTarget&) = default;
};

class MPRemoteCommand;

namespace mediaplayer::testing {
std::vector<MPRemoteCommandHandlerStatus> sendRemoteCommand(MPRemoteCommand& command,
                                                            const MPRemoteCommandEvent& event);
size_t targetCount(const MPRemoteCommand& command);
}  // namespace mediaplayer::testing

class MPRemoteCommand {
 public:
  MPRemoteCommand() = default;
  virtual ~MPRemoteCommand() = default;
  MPRemoteCommand(const MPRemoteCommand&) = delete;
  MPRemoteCommand& operator=(const MPRemoteCommand&) = delete;

  bool isEnabled() const;
  void setEnabled(bool enabled);

  MPRemoteCommandTarget addTargetWithHandler(MPRemoteCommandHandler handler);
  // Removes the target, or every target when `target` is nullopt.
  void removeTarget(std::optional<MPRemoteCommandTarget> target);

 private:
  friend std::vector<MPRemoteCommandHandlerStatus> mediaplayer::testing::sendRemoteCommand(
      MPRemoteCommand& command, const MPRemoteCommandEvent& event);
  friend size_t mediaplayer::testing::targetCount(const MPRemoteCommand& command);

  struct Target {
    MPRemoteCommandTarget name;
    MPRemoteCommandHandler handler;
  };

  mutable std::mutex mutex_;
  bool enabled_ = true;
  uint64_t next_target_id_ = 1;
  std::vector<Target> targets_;
};

// A command that skips by an interval, such as skip forward.
class MPSkipIntervalCommand : public MPRemoteCommand {
 public:
  // Seconds; the system offers the first.
  std::vector<double> preferredIntervals() const;
  void setPreferredIntervals(std::vector<double> intervals);

 private:
  mutable std::mutex intervals_mutex_;
  std::vector<double> preferred_intervals_;
};
