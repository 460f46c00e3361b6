// The library's error type: one case per keychain result code, each with the system's message
// for it, bridged to an NSError in the library's error domain.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_error.h"
#include "platform/security/cf_value.h"
#include "platform/security/sec_base.h"

namespace keychain_bridge {

inline const std::string KeychainBridgeErrorDomain = "com.quorvelkastimund.KeychainBridge.error";

class Status {
 public:
  enum Code : OSStatus {
#define SEC_RESULT_CODE(name, code, message) name = code,
#include "platform/security/sec_result_codes.inc"
#undef SEC_RESULT_CODE
    // The library's own code for any result the system has no message for.
    unexpectedError = -99999,
  };

  constexpr Status(Code code) : code_(code) {}

  // The case of a result code; nullopt for a code no case has.
  static std::optional<Status> withRawValue(OSStatus rawValue);
  // The same, but a code no case has gives unexpectedError.
  static Status withStatus(OSStatus status);
  // Every case, in table order.
  static const std::vector<Status>& allCases();

  constexpr Code code() const { return code_; }
  constexpr OSStatus rawValue() const { return code_; }
  constexpr long errorCode() const { return code_; }
  // The case's message.
  std::string description() const;

  static const std::string& errorDomain() { return KeychainBridgeErrorDomain; }
  // One entry: the message under the localized-description key.
  CFDictionary errorUserInfo() const;
  NSError nsError() const;

  friend constexpr bool operator==(Status a, Status b) { return a.code_ == b.code_; }

 private:
  Code code_;
};

// The error of a failing result code, as every keychain operation reports it: one line
// "OSStatus error:[<code>] <message>" on standard output, except for userCanceled. A code no
// case has becomes unexpectedError (and the line shows -99999).
Status securityError(OSStatus status);

}  // namespace keychain_bridge

template <>
struct std::hash<keychain_bridge::Status> {
  size_t operator()(keychain_bridge::Status status) const noexcept {
    return std::hash<OSStatus>()(status.rawValue());
  }
};
