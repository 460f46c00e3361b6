// An enumeration whose raw value is a Security constant (a string), built from a traits type
// that names the cases and lists, in case order, each case's constant and description.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace keychain_bridge {

struct RawValueRow {
  const std::string* constant;
  const char* description;
};

template <typename Traits>
class RawValueEnumeration : public Traits {
 public:
  using Case = typename Traits::Case;

  constexpr RawValueEnumeration(Case value) : value_(value) {}

  // The first case, in case order, whose constant is exactly `rawValue`.
  static std::optional<RawValueEnumeration> withRawValue(std::string_view rawValue) {
    auto rows = Traits::rows();
    for (size_t index = 0; index < rows.size(); ++index) {
      if (*rows[index].constant == rawValue) return RawValueEnumeration(static_cast<Case>(index));
    }
    return std::nullopt;
  }

  constexpr Case value() const { return value_; }
  const std::string& rawValue() const { return *Traits::rows()[value_].constant; }
  std::string description() const { return Traits::rows()[value_].description; }

  friend constexpr bool operator==(RawValueEnumeration a, RawValueEnumeration b) {
    return a.value_ == b.value_;
  }

 private:
  Case value_;
};

}  // namespace keychain_bridge
