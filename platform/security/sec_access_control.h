// Access controls: the accessibility of an item together with what a user must do before it
// may be read (be present, use biometry, type the passcode or an application password) or,
// for keys, that the private key may be used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/security/cf_error.h"
#include "platform/security/cf_value.h"

namespace security::internal {
class SecAccessControlAccess;
}  // namespace security::internal

using SecAccessControlCreateFlags = uint64_t;

inline constexpr SecAccessControlCreateFlags kSecAccessControlUserPresence = 1u << 0;
inline constexpr SecAccessControlCreateFlags kSecAccessControlBiometryAny = 1u << 1;
inline constexpr SecAccessControlCreateFlags kSecAccessControlBiometryCurrentSet = 1u << 3;
inline constexpr SecAccessControlCreateFlags kSecAccessControlDevicePasscode = 1u << 4;
inline constexpr SecAccessControlCreateFlags kSecAccessControlWatch = 1u << 5;
inline constexpr SecAccessControlCreateFlags kSecAccessControlOr = 1u << 14;
inline constexpr SecAccessControlCreateFlags kSecAccessControlAnd = 1u << 15;
inline constexpr SecAccessControlCreateFlags kSecAccessControlPrivateKeyUsage = 1u << 30;
inline constexpr SecAccessControlCreateFlags kSecAccessControlApplicationPassword = 1u << 31;

class SecAccessControl {
 public:
  // One of the kSecAttrAccessible values.
  const std::string& protection() const { return protection_; }
  SecAccessControlCreateFlags flags() const { return flags_; }

  friend bool operator==(const SecAccessControl&, const SecAccessControl&) = default;

 private:
  friend class security::internal::SecAccessControlAccess;
  SecAccessControl(std::string protection, SecAccessControlCreateFlags flags)
      : protection_(std::move(protection)), flags_(flags) {}

  std::string protection_;
  SecAccessControlCreateFlags flags_;
};

using SecAccessControlRef = std::shared_ptr<const SecAccessControl>;

// Fails (null, with an error of the OSStatus domain) when the protection is not an
// accessibility value, when a flag is unknown, when both "or" and "and" are set, or when "or"
// or "and" joins fewer than two requirements.
SecAccessControlRef SecAccessControlCreateWithFlags(const CFValue& protection,
                                                    SecAccessControlCreateFlags flags,
                                                    CFErrorRef* error);
