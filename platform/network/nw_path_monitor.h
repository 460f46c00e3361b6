// Watches the machine's network path. Once started on a queue, the update handler runs there
// with the current path, then again whenever the path changes, until the monitor is cancelled.
// A cancelled monitor cannot be started again.
#pragma once

#include <functional>
#include <memory>

#include "platform/dispatch/dispatch.h"
#include "platform/network/nw_path.h"

class NWPathMonitor {
 public:
  using PathUpdateHandler = std::function<void(const NWPath&)>;

  // Monitors every interface type.
  NWPathMonitor();
  ~NWPathMonitor();
  NWPathMonitor(const NWPathMonitor&) = delete;
  NWPathMonitor& operator=(const NWPathMonitor&) = delete;

  void start(dispatch_queue_t queue);
  void cancel();
  void setPathUpdateHandler(PathUpdateHandler handler);
  NWPath currentPath() const;

  // What the machine's network watcher shares with a started monitor.
  struct State;

 private:
  std::shared_ptr<State> state_;
};
