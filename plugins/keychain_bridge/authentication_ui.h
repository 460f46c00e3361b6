// What the keychain may do when reading an item needs the user: ask, fail, or skip the item.
#pragma once

#include <string>

namespace keychain_bridge {

class AuthenticationUI {
 public:
  enum Case { allow, fail, skip };

  constexpr AuthenticationUI(Case value) : value_(value) {}

  constexpr Case value() const { return value_; }
  const std::string& rawValue() const;
  std::string description() const;

  friend constexpr bool operator==(AuthenticationUI a, AuthenticationUI b) {
    return a.value_ == b.value_;
  }

 private:
  Case value_;
};

}  // namespace keychain_bridge
