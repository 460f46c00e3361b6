#include "platform/system/testing/sysctl_controls.h"

#include "platform/system/sysctl_registry.h"

namespace libsystem::testing {

void setSysctlValue(const std::string& name, std::vector<uint8_t> bytes) {
  SysctlRegistry::shared().setValue(name, std::move(bytes));
}

void setSysctlString(const std::string& name, std::string_view text) {
  setSysctlValue(name, std::vector<uint8_t>(text.begin(), text.end()));
}

void setSysctlError(const std::string& name, int errorNumber) {
  SysctlRegistry::shared().setError(name, errorNumber);
}

void removeSysctlEntry(const std::string& name) { SysctlRegistry::shared().remove(name); }

void resetSysctl() { SysctlRegistry::shared().reset(); }

}  // namespace libsystem::testing
