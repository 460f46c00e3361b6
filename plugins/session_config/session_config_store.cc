#include "plugins/session_config/session_config_store.h"

namespace session_config {

SessionConfigStore& SessionConfigStore::shared() {
  // Never destroyed: it is the process's configuration.
  static auto* const store = new SessionConfigStore();
  return *store;
}

void SessionConfigStore::add(std::shared_ptr<SessionConfigPlugin> instance) {
  std::lock_guard lock(mutex_);
  instances_.push_back(std::move(instance));
}

flutter::Value SessionConfigStore::configuration() const {
  std::lock_guard lock(mutex_);
  return configuration_;
}

std::vector<std::shared_ptr<SessionConfigPlugin>> SessionConfigStore::setConfiguration(
    flutter::Value configuration) {
  std::lock_guard lock(mutex_);
  configuration_ = std::move(configuration);
  return instances_;
}

}  // namespace session_config
