// The platform UUID derived from the machine identity file: an HMAC-SHA256 of the machine id
// under a fixed label, so that the raw id never leaves this function, shaped as an upper-case
// UUID. Absent when the file is missing or does not hold exactly 32 hexadecimal digits.
#pragma once

#include <optional>
#include <string>

namespace iokit::internal {

std::optional<std::string> platformUUIDFromMachineIdFile(const std::string& path);

}  // namespace iokit::internal
