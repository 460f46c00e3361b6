#include "platform/foundation/ns_host.h"

#include <unistd.h>

#include <fstream>

#include "platform/foundation/testing/host_controls.h"

namespace {

// The PRETTY_HOSTNAME entry of machine-info: KEY=value, the value optionally quoted.
std::optional<std::string> prettyHostName() {
  std::ifstream file("/etc/machine-info");
  std::string line;
  const std::string key = "PRETTY_HOSTNAME=";
  while (std::getline(file, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    if (!value.empty()) return value;
  }
  return std::nullopt;
}

}  // namespace

std::shared_ptr<NSHost> NSHost::currentHost() {
  static auto* const host = new std::shared_ptr<NSHost>(std::make_shared<NSHost>());
  return *host;
}

std::optional<std::string> NSHost::localizedName() const {
  if (auto replaced = foundation::testing::localizedHostNameOverride()) return *replaced;
  if (auto pretty = prettyHostName()) return pretty;
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return std::nullopt;
  return std::string(name);
}
