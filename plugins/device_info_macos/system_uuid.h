// The platform UUID, read from the IOKit registry's platform expert.
#pragma once

#include <optional>
#include <string>

namespace device_info_macos {

class SystemUUID {
 public:
  SystemUUID() = delete;
  // nullopt when the machine has no platform UUID.
  static std::optional<std::string> getSystemUUID();
};

}  // namespace device_info_macos
