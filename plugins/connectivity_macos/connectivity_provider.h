// Where the plug-in learns the machine's connectivity: the current state, and a handler called
// with each change while the provider is started.
#pragma once

#include <functional>
#include <vector>

#include "plugins/connectivity_macos/connectivity_type.h"

namespace connectivity_macos {

class ConnectivityProvider {
 public:
  using UpdateHandler = std::function<void(std::vector<ConnectivityType>)>;

  virtual ~ConnectivityProvider() = default;
  virtual std::vector<ConnectivityType> currentConnectivityTypes() = 0;
  virtual UpdateHandler connectivityUpdateHandler() const = 0;
  virtual void setConnectivityUpdateHandler(UpdateHandler handler) = 0;
  virtual void start() = 0;
  virtual void stop() = 0;
};

}  // namespace connectivity_macos
