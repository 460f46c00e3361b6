#include "plugins/connectivity_macos/connectivity_type.h"

namespace connectivity_macos {

std::string connectivityTypeName(ConnectivityType type) {
  switch (type) {
    case ConnectivityType::none:
      return "none";
    case ConnectivityType::wiredEthernet:
      return "ethernet";
    case ConnectivityType::wifi:
      return "wifi";
    case ConnectivityType::cellular:
      return "mobile";
    case ConnectivityType::satellite:
      return "satellite";
    case ConnectivityType::other:
      return "other";
  }
  return "none";
}

std::vector<std::string> connectivityTypeNames(const std::vector<ConnectivityType>& types) {
  std::vector<std::string> names;
  for (ConnectivityType type : types) names.push_back(connectivityTypeName(type));
  return names;
}

}  // namespace connectivity_macos
