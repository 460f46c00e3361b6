// One keychain item's attributes as the keychain answered them, with a typed read-only
// property per attribute of interest. A property whose entry is missing, or holds a value of
// another type, gives no value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/security/cf_value.h"
#include "platform/security/sec_access_control.h"

namespace keychain_bridge {

class Attributes {
 public:
  explicit Attributes(CFDictionary attributes) : attributes_(std::move(attributes)) {}

  const CFDictionary& attributes() const { return attributes_; }

  // kSecClass; named so because `class` is a keyword.
  std::optional<std::string> itemClass() const;
  std::optional<CFBytes> data() const;
  std::optional<CFBytes> ref() const;
  std::optional<CFBytes> persistentRef() const;
  std::optional<std::string> accessible() const;
  SecAccessControlRef accessControl() const;
  std::optional<std::string> accessGroup() const;
  std::optional<bool> synchronizable() const;
  std::optional<CFDate> creationDate() const;
  std::optional<CFDate> modificationDate() const;
  std::optional<std::string> attributeDescription() const;
  std::optional<std::string> comment() const;
  std::optional<std::string> creator() const;
  std::optional<std::string> type() const;
  std::optional<std::string> label() const;
  std::optional<bool> isInvisible() const;
  std::optional<bool> isNegative() const;
  std::optional<std::string> account() const;
  std::optional<std::string> service() const;
  std::optional<CFBytes> generic() const;
  std::optional<std::string> securityDomain() const;
  std::optional<std::string> server() const;
  std::optional<std::string> protocol() const;
  std::optional<std::string> authenticationType() const;
  std::optional<long> port() const;
  std::optional<std::string> path() const;

  // The stored value of any type; null when the key is absent.
  const CFValue* operator[](const std::string& key) const { return attributes_.find(key); }

  std::string description() const { return CFCopyDescription(attributes_); }
  std::string debugDescription() const { return description(); }

 private:
  std::optional<std::string> stringEntry(const std::string& key) const;
  std::optional<CFBytes> dataEntry(const std::string& key) const;
  std::optional<bool> booleanEntry(const std::string& key) const;
  std::optional<CFDate> dateEntry(const std::string& key) const;

  CFDictionary attributes_;
};

}  // namespace keychain_bridge
