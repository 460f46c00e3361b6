#include "plugins/preferences_foundation/preferences_values.h"

#include <limits>

namespace preferences_foundation {

std::optional<PropertyList> toPropertyList(const flutter::Value& value) {
  if (const auto* list = value.asList()) {
    PropertyList::Array items;
    items.reserve(list->size());
    for (const auto& item : *list) {
      auto converted = toPropertyList(item);
      if (!converted) return std::nullopt;
      items.push_back(std::move(*converted));
    }
    return PropertyList(std::move(items));
  }
  if (const auto* map = value.asMap()) {
    PropertyList::Dictionary entries;
    for (const auto& [key, item] : *map) {
      auto converted = toPropertyList(item);
      if (key.asString() == nullptr || !converted) return std::nullopt;
      entries.insert_or_assign(*key.asString(), std::move(*converted));
    }
    return PropertyList(std::move(entries));
  }
  if (const auto* flag = value.getIf<bool>()) return PropertyList(*flag);
  if (auto integer = value.asInteger()) return PropertyList(*integer);
  if (const auto* real = value.getIf<double>()) return PropertyList(*real);
  if (const auto* text = value.asString()) return PropertyList(*text);
  if (const auto* bytes = value.getIf<std::vector<uint8_t>>()) return PropertyList(*bytes);
  return std::nullopt;
}

bool isSupportedPrefValue(const PropertyList& value) {
  if (value.getIf<bool>() || value.getIf<double>() || value.asString() || value.getIf<int64_t>()) {
    return true;
  }
  if (const auto* array = value.getIf<PropertyList::Array>()) {
    for (const auto& item : *array) {
      if (!isSupportedPrefValue(item)) return false;
    }
    return true;
  }
  return false;
}

flutter::Value fromPropertyList(const PropertyList& value) {
  if (const auto* flag = value.getIf<bool>()) return flutter::Value(*flag);
  if (const auto* real = value.getIf<double>()) return flutter::Value(*real);
  if (const auto* text = value.asString()) return flutter::Value(*text);
  if (const auto* integer = value.getIf<int64_t>()) {
    if (*integer >= std::numeric_limits<int32_t>::min() &&
        *integer <= std::numeric_limits<int32_t>::max()) {
      return flutter::Value(static_cast<int32_t>(*integer));
    }
    return flutter::Value(*integer);
  }
  if (const auto* array = value.getIf<PropertyList::Array>()) {
    flutter::ValueList items;
    items.reserve(array->size());
    for (const auto& item : *array) items.push_back(fromPropertyList(item));
    return flutter::Value(std::move(items));
  }
  return flutter::Value();
}

}  // namespace preferences_foundation
