// Connectivity from the system's network path monitor. The monitor reports on a serial queue of
// the provider's own; start, stop and the current state are called on the main thread. A stopped
// provider starts a new monitor when asked again.
#pragma once

#include <memory>
#include <mutex>

#include "platform/dispatch/dispatch.h"
#include "platform/network/nw_path_monitor.h"
#include "plugins/connectivity_macos/connectivity_provider.h"

namespace connectivity_macos {

class PathMonitorConnectivityProvider
    : public ConnectivityProvider,
      public std::enable_shared_from_this<PathMonitorConnectivityProvider> {
 public:
  // Monitoring starts at once.
  static std::shared_ptr<PathMonitorConnectivityProvider> create();
  ~PathMonitorConnectivityProvider() override;

  std::vector<ConnectivityType> currentConnectivityTypes() override;
  UpdateHandler connectivityUpdateHandler() const override;
  void setConnectivityUpdateHandler(UpdateHandler handler) override;
  void start() override;
  void stop() override;

  // [none] unless satisfied; otherwise the interface kinds in use, in the order wifi, cellular,
  // wired, other, then satellite for an ultra-constrained path from 26.0 on.
  static std::vector<ConnectivityType> connectivityTypesFromPath(const NWPath& path);

 private:
  PathMonitorConnectivityProvider();
  void ensurePathMonitor();
  void handlePathUpdate(const NWPath& path);

  dispatch_queue_t queue_;
  std::shared_ptr<NWPathMonitor> path_monitor_;
  // Set on the main thread, read on the monitor's queue.
  mutable std::mutex handler_mutex_;
  UpdateHandler connectivity_update_handler_;
};

}  // namespace connectivity_macos
