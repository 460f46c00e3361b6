// The machine's network as read at one moment, and the path it gives: satisfied when a default
// route leaves through an interface that is up and is not the loopback. Pure functions over
// snapshots, so that the rule is tested without touching the machine's network.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/network/nw_path.h"

namespace network {

struct InterfaceSnapshot {
  std::string name;
  unsigned index = 0;
  bool up = false;
  bool loopback = false;
  NWInterfaceType type = NWInterfaceType::other;
};

struct NetworkSnapshot {
  std::vector<InterfaceSnapshot> interfaces;
  // Interface indexes that carry a default route (IPv4 or IPv6).
  std::set<unsigned> defaultRouteInterfaces;
};

NWPath pathFromSnapshot(const NetworkSnapshot& snapshot);

// The kind of interface `name` is, from its entry under `sysfsNetRoot` (normally
// /sys/class/net): wireless, wwan, or a physical Ethernet device.
NWInterfaceType interfaceTypeFromSysfs(const std::string& sysfsNetRoot, const std::string& name);

// The live machine: interfaces from getifaddrs, default routes from an rtnetlink dump.
NetworkSnapshot readNetworkSnapshot();

}  // namespace network
