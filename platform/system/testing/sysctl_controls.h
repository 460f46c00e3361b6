// Test controls for sysctl: replace a value's bytes, make its reads fail with an errno, or make
// its name unknown. Names not in the table are added under a fresh MIB.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace libsystem::testing {

void setSysctlValue(const std::string& name, std::vector<uint8_t> bytes);
void setSysctlString(const std::string& name, std::string_view text);  // bytes as given
void setSysctlError(const std::string& name, int errorNumber);
void removeSysctlEntry(const std::string& name);
// Back to this machine's own values.
void resetSysctl();

}  // namespace libsystem::testing
