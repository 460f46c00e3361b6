// This machine's answers to the sysctl table's entries, read afresh on every call.
#pragma once

#include <vector>

#include "platform/system/sysctl_registry.h"

namespace libsystem {

// The built-in entries: kern.* from uname and /proc, hw.* from uname, /sys and sysconf,
// kern.osversion from the emulated operating-system version.
std::vector<SysctlEntry> kernelEntries();

}  // namespace libsystem
