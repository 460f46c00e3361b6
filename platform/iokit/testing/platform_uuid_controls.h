// Test controls for the platform UUID: which machine identity file it is derived from, how
// often it was read, and how many IOKit objects are still unreleased.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace iokit::testing {

// Reads the machine identity from `path`; nullopt restores /etc/machine-id.
void setMachineIdPath(std::optional<std::string> path);
// Reads of the platform UUID property since the last reset.
int platformUUIDReadCount();
void resetPlatformUUIDReadCount();
size_t openObjectCount();

}  // namespace iokit::testing
