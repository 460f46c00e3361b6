#include "platform/security/sec_access_control.h"

#include <bit>

#include "platform/security/internal/attribute_schema.h"
#include "platform/security/internal/sec_access_control_access.h"
#include "platform/security/internal/security_state.h"
#include "platform/security/sec_base.h"

namespace security::internal {
namespace {

constexpr SecAccessControlCreateFlags kKnownFlags = kRequirementFlags | kSecAccessControlOr |
                                                    kSecAccessControlAnd |
                                                    kSecAccessControlPrivateKeyUsage;

}  // namespace

std::optional<std::string> accessControlInvalidReason(const std::string& protection,
                                                      SecAccessControlCreateFlags flags) {
  if (!isAccessibilityValue(protection)) return "The protection is not an accessibility value.";
  if ((flags & ~kKnownFlags) != 0) return "The flags hold an unknown bit.";
  bool joins_or = (flags & kSecAccessControlOr) != 0;
  bool joins_and = (flags & kSecAccessControlAnd) != 0;
  if (joins_or && joins_and) return "The flags hold both \"or\" and \"and\".";
  if ((joins_or || joins_and) && std::popcount(flags & kRequirementFlags) < 2) {
    return "\"or\" and \"and\" need two requirements to join.";
  }
  return std::nullopt;
}

}  // namespace security::internal

SecAccessControlRef SecAccessControlCreateWithFlags(const CFValue& protection,
                                                    SecAccessControlCreateFlags flags,
                                                    CFErrorRef* error) {
  using security::internal::accessControlInvalidReason;
  using security::internal::SecAccessControlAccess;
  using security::internal::SecFunction;
  using security::internal::SecurityState;
  auto fail = [&](OSStatus status, const std::string& description) -> SecAccessControlRef {
    if (error != nullptr) {
      *error = CFErrorCreate(kCFErrorDomainOSStatus, status,
                             CFDictionary{{kCFErrorLocalizedDescriptionKey, description}});
    }
    return nullptr;
  };
  if (auto injected =
          SecurityState::shared().enter(SecFunction::accessControlCreateWithFlags, {})) {
    return fail(*injected, "The access control could not be created.");
  }
  auto* text = protection.asString();
  if (text == nullptr) return fail(errSecParam, "The protection is not an accessibility value.");
  if (auto reason = accessControlInvalidReason(*text, flags)) return fail(errSecParam, *reason);
  return SecAccessControlAccess::make(*text, flags);
}
