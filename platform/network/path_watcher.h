// The machine's network path, shared by every monitor in the process: read on demand, watched
// for changes (rtnetlink notifications, on a thread of its own while any monitor is started),
// or replaced by a simulated path in tests.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/network/nw_path.h"
#include "platform/network/nw_path_monitor.h"

namespace network {

class PathWatcher {
 public:
  static PathWatcher& shared();

  NWPath currentPath() const;
  // A started monitor hears of every change until it unsubscribes.
  void subscribe(std::shared_ptr<NWPathMonitor::State> monitor);
  void unsubscribe(const NWPathMonitor::State* monitor);
  size_t subscriberCount() const;

  // nullopt returns to the machine's own path. Either way every started monitor looks again.
  void setSimulatedPath(std::optional<NWPath> path);

 private:
  PathWatcher() = default;
  void notifySubscribers();
  void startWatching();
  void stopWatching();
  void watch(int wakeFd);

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<NWPathMonitor::State>> subscribers_;
  std::optional<NWPath> simulated_;

  std::mutex thread_mutex_;
  std::thread thread_;
  int wake_fd_ = -1;
};

}  // namespace network
