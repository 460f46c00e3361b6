// What a keychain operation fails with: a Status, or the platform's error when an access
// control could not be made. Either way it has a localized description.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "platform/foundation/ns_error.h"
#include "platform/security/cf_error.h"
#include "plugins/keychain_bridge/keychain_status.h"

namespace keychain_bridge {

class KeychainError {
 public:
  KeychainError(Status status) : error_(status) {}
  KeychainError(Status::Code code) : error_(Status(code)) {}
  explicit KeychainError(NSError error) : error_(std::move(error)) {}

  // The status, when the error is one.
  std::optional<Status> status() const;
  std::string localizedDescription() const;
  NSError nsError() const;

  friend bool operator==(const KeychainError&, const KeychainError&) = default;

 private:
  std::variant<Status, NSError> error_;
};

// The platform error object as an NSError: its domain, code and localized description.
NSError errorFromCFError(const CFErrorRef& error);

}  // namespace keychain_bridge
