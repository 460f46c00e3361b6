// One stored keychain item.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/security/cf_value.h"
#include "platform/security/sec_access_control.h"

namespace security::internal {

// The two keychains: items of one are never seen through the other.
inline const std::string kDataProtectionKeychain = "data-protection";
inline const std::string kFileKeychain = "file";

struct KeychainItem {
  KeychainItem() = default;
  KeychainItem(const KeychainItem&) = default;
  KeychainItem(KeychainItem&&) = default;
  KeychainItem& operator=(const KeychainItem&) = default;
  KeychainItem& operator=(KeychainItem&&) = default;
  // Wipes the data: every copy of a secret or a private key read from the store dies with it.
  ~KeychainItem();

  int64_t id = 0;  // grows with every addition: the creation order
  std::string keychain;
  std::string itemClass;
  // Every attribute but the access control. kSecAttrSynchronizable is always present, and so
  // is kSecAttrAccessible (the access control's protection when there is one).
  CFDictionary attributes;
  SecAccessControlRef accessControl;
  std::optional<CFBytes> data;
};

}  // namespace security::internal
