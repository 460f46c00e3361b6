// Deep equality and hashing of message values, as the generated message layers compare records:
// null and absent are one, NaN equals NaN, 0.0 equals -0.0, maps compare regardless of order.
#pragma once

#include <cstdint>

#include "platform/flutter/value.h"

namespace flutter {

// A hasher fed value by value, then finalised.
class ValueHasher {
 public:
  void combine(uint64_t value);
  uint64_t finalize() const;

 private:
  uint64_t state_ = 0xcbf29ce484222325ULL;
};

// None for an absent value or null; otherwise the value.
const Value* nilOrValue(const Value* value);
bool deepEquals(const Value& a, const Value& b);
void deepHash(const Value& value, ValueHasher& hasher);
uint64_t deepHash(const Value& value);

}  // namespace flutter
