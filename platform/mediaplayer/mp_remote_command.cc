#include "platform/mediaplayer/mp_remote_command.h"

#include <algorithm>

bool MPRemoteCommand::isEnabled() const {
  std::lock_guard lock(mutex_);
  return enabled_;
}

void MPRemoteCommand::setEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  enabled_ = enabled;
}

MPRemoteCommandTarget MPRemoteCommand::addTargetWithHandler(MPRemoteCommandHandler handler) {
  std::lock_guard lock(mutex_);
  MPRemoteCommandTarget name{next_target_id_++};
  targets_.push_back(Target{name, std::move(handler)});
  return name;
}

void MPRemoteCommand::removeTarget(std::optional<MPRemoteCommandTarget> target) {
  std::vector<Target> removed;  // handlers are destroyed outside the lock
  std::lock_guard lock(mutex_);
  if (!target) {
    removed.swap(targets_);
    return;
  }
  auto kept = std::stable_partition(targets_.begin(), targets_.end(),
                                    [&](const Target& each) { return each.name != *target; });
  std::move(kept, targets_.end(), std::back_inserter(removed));
  targets_.erase(kept, targets_.end());
}

std::vector<double> MPSkipIntervalCommand::preferredIntervals() const {
  std::lock_guard lock(intervals_mutex_);
  return preferred_intervals_;
}

void MPSkipIntervalCommand::setPreferredIntervals(std::vector<double> intervals) {
  std::lock_guard lock(intervals_mutex_);
  preferred_intervals_ = std::move(intervals);
}
