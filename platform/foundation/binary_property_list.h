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

// What a read of `inputBytes` may build (see PropertyList::kReadBytesPerInputByte): each value is
// charged before it is made, so a file whose references expand it is refused at once.
class PropertyListReadBudget {
 public:
  explicit PropertyListReadBudget(uint64_t inputBytes);
  // Charges one value holding `payloadBytes` of text or data; false once the budget is spent.
  bool charge(uint64_t payloadBytes);

 private:
  uint64_t left_;
};

bool isBinaryPropertyList(std::span<const uint8_t> bytes);
std::optional<PropertyList> readBinaryPropertyList(std::span<const uint8_t> bytes);
std::vector<uint8_t> writeBinaryPropertyList(const PropertyList& value);

}  // namespace foundation
