// The binary property-list format ("bplist00"), read and written here rather than through
// libplist, whose reader cuts strings at their first U+0000. The reader treats its input as
// hostile: every offset, size and reference is checked, and cycles and deep nesting are refused.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/foundation/property_list.h"

namespace foundation {

bool isBinaryPropertyList(std::span<const uint8_t> bytes);
std::optional<PropertyList> readBinaryPropertyList(std::span<const uint8_t> bytes);
std::vector<uint8_t> writeBinaryPropertyList(const PropertyList& value);

}  // namespace foundation
