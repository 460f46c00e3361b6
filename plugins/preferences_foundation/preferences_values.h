// Values between the channel and the user defaults.
#pragma once

#include <optional>

#include "platform/flutter/value.h"
#include "platform/foundation/property_list.h"

namespace preferences_foundation {

// The value as a property list can hold it; nullopt for what it cannot (null, typed data other
// than bytes, maps with keys that are not strings, a codec's own records).
std::optional<PropertyList> toPropertyList(const flutter::Value& value);
// Booleans, floating-point numbers, strings, integers and lists of supported values.
bool isSupportedPrefValue(const PropertyList& value);
// A supported value for the channel; integers that fit 32 bits travel as such.
flutter::Value fromPropertyList(const PropertyList& value);

}  // namespace preferences_foundation
