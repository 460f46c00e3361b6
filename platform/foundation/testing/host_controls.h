// Test controls for the current host's localized name.
#pragma once

#include <optional>
#include <string>

namespace foundation::testing {

// The name NSHost reports from now on; nullopt means the host has none.
void setLocalizedHostName(std::optional<std::string> name);
// Back to the machine's own name.
void resetLocalizedHostName();
// Set: the replacement (which may be "no name"); unset: nullopt.
std::optional<std::optional<std::string>> localizedHostNameOverride();

}  // namespace foundation::testing
