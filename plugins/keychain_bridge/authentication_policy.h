// What a user must do before an item may be read: a set of the access-control flags, passed
// to the keychain unchanged. Any bit combination is kept, named or not. `or_` and `and_` carry
// a trailing underscore because `or` and `and` are keywords.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace keychain_bridge {

struct AuthenticationPolicy {
  uint64_t rawValue = 0;

  constexpr AuthenticationPolicy() = default;
  constexpr explicit AuthenticationPolicy(uint64_t bits) : rawValue(bits) {}
  // The union of the members.
  constexpr AuthenticationPolicy(std::initializer_list<AuthenticationPolicy> members) {
    for (AuthenticationPolicy member : members) rawValue |= member.rawValue;
  }

  static const AuthenticationPolicy userPresence;
  static const AuthenticationPolicy biometryAny;
  static const AuthenticationPolicy touchIDAny;
  static const AuthenticationPolicy biometryCurrentSet;
  static const AuthenticationPolicy touchIDCurrentSet;
  static const AuthenticationPolicy devicePasscode;
  static const AuthenticationPolicy watch;
  static const AuthenticationPolicy or_;
  static const AuthenticationPolicy and_;
  static const AuthenticationPolicy privateKeyUsage;
  static const AuthenticationPolicy applicationPassword;

  constexpr bool isEmpty() const { return rawValue == 0; }
  constexpr bool contains(AuthenticationPolicy member) const {
    return (rawValue & member.rawValue) == member.rawValue;
  }
  constexpr bool isSubset(AuthenticationPolicy of) const { return (rawValue & ~of.rawValue) == 0; }
  constexpr bool isDisjoint(AuthenticationPolicy with) const {
    return (rawValue & with.rawValue) == 0;
  }

  constexpr AuthenticationPolicy unionWith(AuthenticationPolicy other) const {
    return AuthenticationPolicy(rawValue | other.rawValue);
  }
  constexpr AuthenticationPolicy intersection(AuthenticationPolicy other) const {
    return AuthenticationPolicy(rawValue & other.rawValue);
  }
  constexpr AuthenticationPolicy symmetricDifference(AuthenticationPolicy other) const {
    return AuthenticationPolicy(rawValue ^ other.rawValue);
  }
  constexpr AuthenticationPolicy subtracting(AuthenticationPolicy other) const {
    return AuthenticationPolicy(rawValue & ~other.rawValue);
  }
  constexpr void insert(AuthenticationPolicy member) { rawValue |= member.rawValue; }
  constexpr void remove(AuthenticationPolicy member) { rawValue &= ~member.rawValue; }

  friend constexpr bool operator==(AuthenticationPolicy, AuthenticationPolicy) = default;
};

inline constexpr AuthenticationPolicy AuthenticationPolicy::userPresence{uint64_t{1} << 0};
inline constexpr AuthenticationPolicy AuthenticationPolicy::biometryAny{uint64_t{1} << 1};
inline constexpr AuthenticationPolicy AuthenticationPolicy::touchIDAny{uint64_t{1} << 1};
inline constexpr AuthenticationPolicy AuthenticationPolicy::biometryCurrentSet{uint64_t{1} << 3};
inline constexpr AuthenticationPolicy AuthenticationPolicy::touchIDCurrentSet{uint64_t{1} << 3};
inline constexpr AuthenticationPolicy AuthenticationPolicy::devicePasscode{uint64_t{1} << 4};
inline constexpr AuthenticationPolicy AuthenticationPolicy::watch{uint64_t{1} << 5};
inline constexpr AuthenticationPolicy AuthenticationPolicy::or_{uint64_t{1} << 14};
inline constexpr AuthenticationPolicy AuthenticationPolicy::and_{uint64_t{1} << 15};
inline constexpr AuthenticationPolicy AuthenticationPolicy::privateKeyUsage{uint64_t{1} << 30};
inline constexpr AuthenticationPolicy AuthenticationPolicy::applicationPassword{uint64_t{1} << 31};

}  // namespace keychain_bridge
