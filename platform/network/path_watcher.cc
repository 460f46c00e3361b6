#include "platform/network/path_watcher.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "platform/network/nw_path_monitor_state.h"
#include "platform/network/path_snapshot.h"

namespace network {

PathWatcher& PathWatcher::shared() {
  static auto* const watcher = new PathWatcher();
  return *watcher;
}

NWPath PathWatcher::currentPath() const {
  {
    std::lock_guard lock(mutex_);
    if (simulated_) return *simulated_;
  }
  return pathFromSnapshot(readNetworkSnapshot());
}

void PathWatcher::subscribe(std::shared_ptr<NWPathMonitor::State> monitor) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    first = subscribers_.empty();
    subscribers_.push_back(std::move(monitor));
  }
  if (first) startWatching();
}

void PathWatcher::unsubscribe(const NWPathMonitor::State* monitor) {
  bool last = false;
  {
    std::lock_guard lock(mutex_);
    auto before = subscribers_.size();
    std::erase_if(subscribers_, [monitor](const auto& held) { return held.get() == monitor; });
    last = before != subscribers_.size() && subscribers_.empty();
  }
  if (last) stopWatching();
}

size_t PathWatcher::subscriberCount() const {
  std::lock_guard lock(mutex_);
  return subscribers_.size();
}

void PathWatcher::setSimulatedPath(std::optional<NWPath> path) {
  {
    std::lock_guard lock(mutex_);
    simulated_ = std::move(path);
  }
  notifySubscribers();
}

void PathWatcher::notifySubscribers() {
  std::vector<std::shared_ptr<NWPathMonitor::State>> subscribers;
  {
    std::lock_guard lock(mutex_);
    subscribers = subscribers_;
  }
  for (const auto& monitor : subscribers) monitor->scheduleUpdate();
}

void PathWatcher::startWatching() {
  std::lock_guard lock(thread_mutex_);
  if (thread_.joinable()) return;
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC);
  if (wake_fd_ < 0) return;
  thread_ = std::thread([this, fd = wake_fd_] { watch(fd); });
}

void PathWatcher::stopWatching() {
  std::lock_guard lock(thread_mutex_);
  // A monitor may have started again meanwhile; it keeps the watcher.
  if (subscriberCount() != 0 || !thread_.joinable()) return;
  uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(wake_fd_, &one, sizeof one);
  thread_.join();
  ::close(wake_fd_);
  wake_fd_ = -1;
}

void PathWatcher::watch(int wakeFd) {
  int socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  sockaddr_nl groups{};
  groups.nl_family = AF_NETLINK;
  groups.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE |
                     RTMGRP_IPV6_ROUTE;
  if (socket >= 0 &&
      ::bind(socket, reinterpret_cast<sockaddr*>(&groups), sizeof groups) != 0) {
    ::close(socket);
    socket = -1;
  }
  // Without notifications the watcher only waits to be stopped.
  std::array<pollfd, 2> waits{{{wakeFd, POLLIN, 0}, {socket, POLLIN, 0}}};
  alignas(nlmsghdr) std::array<char, 16384> buffer;
  for (;;) {
    if (::poll(waits.data(), socket >= 0 ? 2 : 1, -1) < 0) continue;
    if (waits[0].revents != 0) break;
    if (socket >= 0 && waits[1].revents != 0) {
      while (::recv(socket, buffer.data(), buffer.size(), MSG_DONTWAIT) > 0) {
      }
      notifySubscribers();
    }
  }
  if (socket >= 0) ::close(socket);
}

}  // namespace network
