// Making and checking access controls inside the Security stand-in, without the recording and
// failure injection of the public function.
#pragma once

#include <optional>
#include <string>

#include "platform/security/sec_access_control.h"

namespace security::internal {

// The flags that ask something of the user: presence, biometry, passcode, watch or an
// application password.
inline constexpr SecAccessControlCreateFlags kRequirementFlags =
    kSecAccessControlUserPresence | kSecAccessControlBiometryAny |
    kSecAccessControlBiometryCurrentSet | kSecAccessControlDevicePasscode | kSecAccessControlWatch |
    kSecAccessControlApplicationPassword;

// Why the protection and flags make no valid access control; nullopt when they do.
std::optional<std::string> accessControlInvalidReason(const std::string& protection,
                                                      SecAccessControlCreateFlags flags);

class SecAccessControlAccess {
 public:
  // For a protection and flags that passed accessControlInvalidReason.
  static SecAccessControlRef make(const std::string& protection,
                                  SecAccessControlCreateFlags flags) {
    return SecAccessControlRef(new SecAccessControl(protection, flags));
  }
};

}  // namespace security::internal
