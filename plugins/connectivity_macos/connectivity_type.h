// The kinds of connection the Dart side is told about, and their wire names.
#pragma once

#include <string>
#include <vector>

namespace connectivity_macos {

enum class ConnectivityType { none, wiredEthernet, wifi, cellular, satellite, other };

std::string connectivityTypeName(ConnectivityType type);
std::vector<std::string> connectivityTypeNames(const std::vector<ConnectivityType>& types);

}  // namespace connectivity_macos
