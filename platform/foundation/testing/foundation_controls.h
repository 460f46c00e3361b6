// Test controls for the Foundation stand-in: the emulated OS version, the main bundle's location
// and a capture of log lines.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_process_info.h"

namespace foundation::testing {

NSOperatingSystemVersion emulatedOperatingSystemVersion();
void setEmulatedOperatingSystemVersion(const NSOperatingSystemVersion& version);

std::optional<std::string> mainBundlePathOverride();
// Points the main bundle at another directory; nullopt restores the executable's own.
void setMainBundlePath(std::optional<std::string> path);

// While capturing, log lines are kept for takeLogLines as well as written to standard error.
void setLogCapture(bool enabled);
std::vector<std::string> takeLogLines();
void recordLogLine(const std::string& line);

}  // namespace foundation::testing
