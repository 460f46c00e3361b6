// The options of one keychain operation, as the Dart side gave them and the operation adjusted
// them. Operations change copies, never the caller's record.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/localauthentication/la_context.h"
#include "platform/security/cf_value.h"

namespace secure_store_darwin {

// The account prefix of the item holding a sealed value's wrapped key.
inline constexpr const char* kWrappedKeyAccountPrefix = "sst.wrapped.";

struct KeychainQueryParameters {
  std::optional<std::string> key;
  // Read from the options but used by no query: the application has one access group.
  std::optional<std::string> accessGroup;
  std::optional<std::string> service;
  std::optional<bool> isSynchronizable;
  std::optional<std::string> accessibilityLevel;
  bool usesDataProtectionKeychain = true;
  std::optional<bool> shouldReturnData;
  std::optional<std::string> itemLabel;
  std::optional<std::string> itemDescription;
  std::optional<std::string> itemComment;
  std::optional<bool> isHidden;
  std::optional<bool> isPlaceholder;
  std::optional<CFDate> creationDate;
  std::optional<CFDate> lastModifiedDate;
  std::optional<int64_t> resultLimit;
  std::optional<bool> shouldReturnPersistentReference;
  std::optional<std::string> authenticationUIBehavior;
  std::shared_ptr<LAContext> authenticationContext;
  std::optional<std::string> accessControlFlags;
  std::optional<bool> useSecureEnclave;

  bool sealed() const { return useSecureEnclave == true; }
};

}  // namespace secure_store_darwin
