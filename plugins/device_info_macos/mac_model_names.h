// Marketing names of Mac models by their model identifier (hw.model).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace device_info_macos {

inline constexpr const char* kUnknownModel = "Unknown Model";

// Exact, case-sensitive match of the whole identifier; "Unknown Model" for any other.
std::string marketingName(std::string_view modelIdentifier);

// The table itself, in family order: (identifier, marketing name).
const std::vector<std::pair<std::string_view, std::string_view>>& macModelTable();

}  // namespace device_info_macos
