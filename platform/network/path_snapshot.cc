#include "platform/network/path_snapshot.h"

#include <ifaddrs.h>
#include <net/if_arp.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>

namespace network {
namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

bool hasUeventDevtype(const fs::path& entry, const std::string& devtype) {
  std::ifstream file(entry / "uevent");
  std::string line;
  while (std::getline(file, line)) {
    if (line == "DEVTYPE=" + devtype) return true;
  }
  return false;
}

// A netlink socket closed on every path out.
class NetlinkSocket {
 public:
  NetlinkSocket() : fd_(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
  ~NetlinkSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  NetlinkSocket(const NetlinkSocket&) = delete;
  NetlinkSocket& operator=(const NetlinkSocket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

void addRouteInterfaces(const nlmsghdr* header, std::set<unsigned>& interfaces) {
  const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(header));
  if (route->rtm_dst_len != 0 || route->rtm_type != RTN_UNICAST) return;
  int length = static_cast<int>(RTM_PAYLOAD(header));
  unsigned table = route->rtm_table;
  std::set<unsigned> found;
  for (const rtattr* attribute = RTM_RTA(route); RTA_OK(attribute, length);
       attribute = RTA_NEXT(attribute, length)) {
    if (attribute->rta_type == RTA_TABLE && RTA_PAYLOAD(attribute) >= sizeof(uint32_t)) {
      table = *static_cast<const uint32_t*>(RTA_DATA(attribute));
    } else if (attribute->rta_type == RTA_OIF && RTA_PAYLOAD(attribute) >= sizeof(int)) {
      found.insert(static_cast<unsigned>(*static_cast<const int*>(RTA_DATA(attribute))));
    } else if (attribute->rta_type == RTA_MULTIPATH) {
      auto remaining = static_cast<int>(RTA_PAYLOAD(attribute));
      const auto* hop = static_cast<const rtnexthop*>(RTA_DATA(attribute));
      while (RTNH_OK(hop, remaining)) {
        found.insert(static_cast<unsigned>(hop->rtnh_ifindex));
        remaining -= static_cast<int>(RTNH_ALIGN(hop->rtnh_len));
        hop = RTNH_NEXT(hop);
      }
    }
  }
  if (table == RT_TABLE_MAIN) interfaces.insert(found.begin(), found.end());
}

// Interface indexes of the main table's default routes; empty when the dump cannot be made.
std::set<unsigned> readDefaultRouteInterfaces() {
  std::set<unsigned> interfaces;
  NetlinkSocket socket;
  if (socket.fd() < 0) return interfaces;
  struct {
    nlmsghdr header;
    rtmsg route;
  } request{};
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
  request.header.nlmsg_type = RTM_GETROUTE;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = 1;
  request.route.rtm_family = AF_UNSPEC;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (::sendto(socket.fd(), &request, request.header.nlmsg_len, 0,
               reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0) {
    return interfaces;
  }
  alignas(nlmsghdr) std::array<char, 32768> buffer;
  for (;;) {
    ssize_t received = ::recv(socket.fd(), buffer.data(), buffer.size(), 0);
    if (received <= 0) return interfaces;
    auto length = static_cast<unsigned>(received);
    for (auto* header = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(header, length);
         header = NLMSG_NEXT(header, length)) {
      if (header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR) return interfaces;
      if (header->nlmsg_type == RTM_NEWROUTE) addRouteInterfaces(header, interfaces);
    }
  }
}

}  // namespace

NWPath pathFromSnapshot(const NetworkSnapshot& snapshot) {
  std::vector<NWInterfaceType> types;
  for (const auto& interface : snapshot.interfaces) {
    if (!interface.up || interface.loopback) continue;
    if (!snapshot.defaultRouteInterfaces.contains(interface.index)) continue;
    types.push_back(interface.type);
  }
  if (types.empty()) return NWPath(NWPath::Status::unsatisfied, {});
  return NWPath(NWPath::Status::satisfied, std::move(types));
}

NWInterfaceType interfaceTypeFromSysfs(const std::string& sysfsNetRoot, const std::string& name) {
  fs::path entry = fs::path(sysfsNetRoot) / name;
  std::error_code error;
  if (fs::exists(entry / "wireless", error) || fs::exists(entry / "phy80211", error) ||
      hasUeventDevtype(entry, "wlan")) {
    return NWInterfaceType::wifi;
  }
  if (hasUeventDevtype(entry, "wwan")) return NWInterfaceType::cellular;
  if (firstLine(entry / "type") == std::to_string(ARPHRD_LOOPBACK)) {
    return NWInterfaceType::loopback;
  }
  // Bridges, tunnels and virtual pairs have no device behind them.
  if (firstLine(entry / "type") == std::to_string(ARPHRD_ETHER) &&
      fs::exists(entry / "device", error)) {
    return NWInterfaceType::wiredEthernet;
  }
  return NWInterfaceType::other;
}

NetworkSnapshot readNetworkSnapshot() {
  NetworkSnapshot snapshot;
  ifaddrs* addresses = nullptr;
  if (::getifaddrs(&addresses) == 0) {
    std::map<std::string, InterfaceSnapshot> byName;
    for (const ifaddrs* address = addresses; address != nullptr; address = address->ifa_next) {
      if (address->ifa_name == nullptr || byName.contains(address->ifa_name)) continue;
      InterfaceSnapshot interface;
      interface.name = address->ifa_name;
      interface.index = ::if_nametoindex(address->ifa_name);
      interface.up = (address->ifa_flags & IFF_UP) != 0 && (address->ifa_flags & IFF_RUNNING) != 0;
      interface.loopback = (address->ifa_flags & IFF_LOOPBACK) != 0;
      interface.type = interface.loopback ? NWInterfaceType::loopback
                                          : interfaceTypeFromSysfs("/sys/class/net", interface.name);
      byName.emplace(interface.name, interface);
    }
    ::freeifaddrs(addresses);
    for (auto& [name, interface] : byName) snapshot.interfaces.push_back(std::move(interface));
  }
  snapshot.defaultRouteInterfaces = readDefaultRouteInterfaces();
  return snapshot;
}

}  // namespace network
