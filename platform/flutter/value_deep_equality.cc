#include "platform/flutter/value_deep_equality.h"

#include <bit>
#include <cmath>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace flutter {
namespace {

constexpr uint64_t kNaNHash = 0x7FF8000000000000ULL;

template <typename T>
bool elementsEqual(const std::vector<T>& a, const std::vector<T>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if constexpr (std::is_floating_point_v<T>) {
      if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i])))) return false;
    } else if (a[i] != b[i]) {
      return false;
    }
  }
  return true;
}

uint64_t hashOfDouble(double value) {
  if (std::isnan(value)) return kNaNHash;
  if (value == 0) value = 0;  // -0.0 hashes as 0.0
  return std::bit_cast<uint64_t>(value);
}

uint64_t hashOfString(const std::string& text) { return std::hash<std::string>()(text); }

bool listsEqual(const ValueList& left, const ValueList& right) {
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i) {
    if (!deepEquals(left[i], right[i])) return false;
  }
  return true;
}

bool mapsEqual(const ValueMap& left, const ValueMap& right) {
  if (left.size() != right.size()) return false;
  for (const auto& [key, value] : left) {
    const Value* match = nullptr;
    for (const auto& [otherKey, otherValue] : right) {
      if (deepEquals(key, otherKey)) {
        match = &otherValue;
        break;
      }
    }
    if (match == nullptr || !deepEquals(value, *match)) return false;
  }
  return true;
}

}  // namespace

void ValueHasher::combine(uint64_t value) {
  for (int byte = 0; byte < 8; ++byte) {
    state_ ^= (value >> (byte * 8)) & 0xff;
    state_ *= 0x100000001b3ULL;
  }
}

uint64_t ValueHasher::finalize() const {
  uint64_t value = state_;
  value ^= value >> 33;
  value *= 0xff51afd7ed558ccdULL;
  value ^= value >> 33;
  return value;
}

const Value* nilOrValue(const Value* value) {
  return value == nullptr || value->isNull() ? nullptr : value;
}

bool deepEquals(const Value& a, const Value& b) {
  const Value* left = nilOrValue(&a);
  const Value* right = nilOrValue(&b);
  if (left == nullptr || right == nullptr) return left == right;
  if (left == right) return true;
  if (const auto* leftList = left->asList()) {
    const auto* rightList = right->asList();
    return rightList != nullptr && listsEqual(*leftList, *rightList);
  }
  if (const auto* leftMap = left->asMap()) {
    const auto* rightMap = right->asMap();
    return rightMap != nullptr && mapsEqual(*leftMap, *rightMap);
  }
  if (left->is<double>() && right->is<double>()) {
    double x = left->get<double>(), y = right->get<double>();
    return (std::isnan(x) && std::isnan(y)) || x == y;
  }
  if (const auto* doubles = left->getIf<std::vector<double>>()) {
    const auto* others = right->getIf<std::vector<double>>();
    return others != nullptr && elementsEqual(*doubles, *others);
  }
  if (const auto* floats = left->getIf<std::vector<float>>()) {
    const auto* others = right->getIf<std::vector<float>>();
    return others != nullptr && elementsEqual(*floats, *others);
  }
  return *left == *right;
}

void deepHash(const Value& value, ValueHasher& hasher) {
  const Value* present = nilOrValue(&value);
  if (present == nullptr) {
    hasher.combine(0);
  } else if (present->is<double>()) {
    hasher.combine(hashOfDouble(present->get<double>()));
  } else if (const auto* doubles = present->getIf<std::vector<double>>()) {
    for (double element : *doubles) hasher.combine(hashOfDouble(element));
  } else if (const auto* list = present->asList()) {
    for (const auto& element : *list) deepHash(element, hasher);
  } else if (const auto* map = present->asMap()) {
    // A sum, so that the order of entries does not count, as in equality.
    uint64_t sum = 0;
    for (const auto& [key, item] : *map) {
      sum += (31 * deepHash(key)) ^ deepHash(item);
    }
    hasher.combine(sum);
  } else if (present->is<bool>()) {
    hasher.combine(present->get<bool>() ? 1 : 0);
  } else if (auto integer = present->asInteger()) {
    hasher.combine(static_cast<uint64_t>(*integer));
  } else if (const auto* text = present->asString()) {
    hasher.combine(hashOfString(*text));
  } else if (const auto* custom = present->getIf<std::shared_ptr<const CustomValue>>()) {
    hasher.combine(*custom ? (*custom)->messageHash() : 0);
  } else {
    hasher.combine(hashOfString(present->debugString()));
  }
}

uint64_t deepHash(const Value& value) {
  ValueHasher hasher;
  deepHash(value, hasher);
  return hasher.finalize();
}

}  // namespace flutter
