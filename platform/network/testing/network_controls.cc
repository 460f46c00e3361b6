#include "platform/network/testing/network_controls.h"

#include "platform/network/path_watcher.h"

namespace network::testing {

void setSimulatedNetwork(const SimulatedNetwork& network) {
  PathWatcher::shared().setSimulatedPath(
      NWPath(network.satisfied ? NWPath::Status::satisfied : NWPath::Status::unsatisfied,
             network.interfaceTypes, network.ultraConstrained));
}

void useLiveNetwork() { PathWatcher::shared().setSimulatedPath(std::nullopt); }

size_t startedMonitorCount() { return PathWatcher::shared().subscriberCount(); }

}  // namespace network::testing
