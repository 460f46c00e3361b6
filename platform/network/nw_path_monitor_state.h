// A monitor's shared half: held by the monitor, the machine's watcher and pending deliveries,
// so that none of them keeps the monitor itself alive.
#pragma once

#include <mutex>
#include <optional>

#include "platform/network/nw_path_monitor.h"

struct NWPathMonitor::State : std::enable_shared_from_this<NWPathMonitor::State> {
  // Posts a look at the current path to the monitor's queue.
  void scheduleUpdate();
  // On the queue: calls the handler when the path differs from the one it last saw.
  void deliver();

  std::mutex mutex;
  PathUpdateHandler handler;
  dispatch_queue_t queue;
  bool cancelled = false;
  std::optional<NWPath> delivered;
};
