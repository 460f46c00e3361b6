// Test controls for the network: replace the machine's path with a simulated one, so that tests
// never depend on the real network. Every started monitor looks again on its own queue.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/network/nw_path.h"

namespace network::testing {

struct SimulatedNetwork {
  bool satisfied = true;
  std::vector<NWInterfaceType> interfaceTypes;
  bool ultraConstrained = false;
};

void setSimulatedNetwork(const SimulatedNetwork& network);
// Back to the machine's own network.
void useLiveNetwork();
// Monitors started and not yet cancelled.
size_t startedMonitorCount();

}  // namespace network::testing
