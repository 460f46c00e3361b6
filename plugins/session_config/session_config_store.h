// The process's audio-session configuration and the plug-in instances to tell when it changes.
// The configuration is never cleared, and the store keeps its instances for the life of the
// process, so a later engine reads what an earlier one set.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/flutter/value.h"

namespace session_config {

class SessionConfigPlugin;

class SessionConfigStore {
 public:
  static SessionConfigStore& shared();

  void add(std::shared_ptr<SessionConfigPlugin> instance);
  // Null until a configuration is set.
  flutter::Value configuration() const;
  // Stores the configuration and answers the instances to tell, in registration order.
  std::vector<std::shared_ptr<SessionConfigPlugin>> setConfiguration(flutter::Value configuration);

 private:
  SessionConfigStore() = default;

  mutable std::mutex mutex_;
  flutter::Value configuration_;
  std::vector<std::shared_ptr<SessionConfigPlugin>> instances_;
};

}  // namespace session_config
