#include "plugins/connectivity_macos/path_monitor_connectivity_provider.h"

#include "platform/foundation/ns_process_info.h"

namespace connectivity_macos {

std::shared_ptr<PathMonitorConnectivityProvider> PathMonitorConnectivityProvider::create() {
  std::shared_ptr<PathMonitorConnectivityProvider> provider(new PathMonitorConnectivityProvider());
  provider->ensurePathMonitor();
  return provider;
}

PathMonitorConnectivityProvider::PathMonitorConnectivityProvider()
    : queue_(dispatch_queue_create("dev.velmora.desktop.connectivity", DISPATCH_QUEUE_SERIAL)) {}

PathMonitorConnectivityProvider::~PathMonitorConnectivityProvider() { stop(); }

std::vector<ConnectivityType> PathMonitorConnectivityProvider::currentConnectivityTypes() {
  ensurePathMonitor();
  return connectivityTypesFromPath(path_monitor_->currentPath());
}

ConnectivityProvider::UpdateHandler PathMonitorConnectivityProvider::connectivityUpdateHandler()
    const {
  std::lock_guard lock(handler_mutex_);
  return connectivity_update_handler_;
}

void PathMonitorConnectivityProvider::setConnectivityUpdateHandler(UpdateHandler handler) {
  std::lock_guard lock(handler_mutex_);
  connectivity_update_handler_ = std::move(handler);
}

void PathMonitorConnectivityProvider::start() { ensurePathMonitor(); }

void PathMonitorConnectivityProvider::stop() {
  if (path_monitor_) path_monitor_->cancel();
  path_monitor_.reset();
}

void PathMonitorConnectivityProvider::ensurePathMonitor() {
  if (path_monitor_) return;
  auto monitor = std::make_shared<NWPathMonitor>();
  // The handler is in place before the monitor starts, so no update can miss it.
  std::weak_ptr<PathMonitorConnectivityProvider> weakSelf = weak_from_this();
  monitor->setPathUpdateHandler([weakSelf](const NWPath& path) {
    if (auto self = weakSelf.lock()) self->handlePathUpdate(path);
  });
  monitor->start(queue_);
  path_monitor_ = std::move(monitor);
}

void PathMonitorConnectivityProvider::handlePathUpdate(const NWPath& path) {
  UpdateHandler handler = connectivityUpdateHandler();
  if (handler) handler(connectivityTypesFromPath(path));
}

std::vector<ConnectivityType> PathMonitorConnectivityProvider::connectivityTypesFromPath(
    const NWPath& path) {
  if (path.status() != NWPath::Status::satisfied) return {ConnectivityType::none};
  std::vector<ConnectivityType> types;
  if (path.usesInterfaceType(NWInterfaceType::wifi)) types.push_back(ConnectivityType::wifi);
  if (path.usesInterfaceType(NWInterfaceType::cellular)) {
    types.push_back(ConnectivityType::cellular);
  }
  if (path.usesInterfaceType(NWInterfaceType::wiredEthernet)) {
    types.push_back(ConnectivityType::wiredEthernet);
  }
  if (path.usesInterfaceType(NWInterfaceType::other)) types.push_back(ConnectivityType::other);
  if (NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({26, 0, 0}) &&
      path.isUltraConstrained()) {
    types.push_back(ConnectivityType::satellite);
  }
  if (types.empty()) return {ConnectivityType::none};
  return types;
}

}  // namespace connectivity_macos
