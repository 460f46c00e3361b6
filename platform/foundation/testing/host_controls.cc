#include "platform/foundation/testing/host_controls.h"

#include <mutex>

namespace foundation::testing {
namespace {

struct HostNameOverride {
  std::mutex mutex;
  std::optional<std::optional<std::string>> name;
};

HostNameOverride& hostNameOverride() {
  static auto* const state = new HostNameOverride();
  return *state;
}

}  // namespace

void setLocalizedHostName(std::optional<std::string> name) {
  std::lock_guard lock(hostNameOverride().mutex);
  hostNameOverride().name = std::move(name);
}

void resetLocalizedHostName() {
  std::lock_guard lock(hostNameOverride().mutex);
  hostNameOverride().name.reset();
}

std::optional<std::optional<std::string>> localizedHostNameOverride() {
  std::lock_guard lock(hostNameOverride().mutex);
  return hostNameOverride().name;
}

}  // namespace foundation::testing
