// Which attributes a keychain item may carry, of which kind their values are, and which of
// them make up an item's identity (two items of one class and keychain never share it).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/security/cf_value.h"

namespace security::internal {

enum class AttributeKind {
  string,
  data,
  boolean,
  integer,
  date,
  stringOrInteger,  // a four-character code, given either way
  accessibility,    // one of the kSecAttrAccessible values
  protocol,         // one of the kSecAttrProtocol values
  authenticationType,
  keyType,
  keyClass,
  tokenID,
  accessControl,
};

// The kind of an attribute key; nullopt for a key that is not an item attribute.
std::optional<AttributeKind> attributeKind(const std::string& key);
// Attributes the keychain sets itself.
bool isReadOnlyAttribute(const std::string& key);

bool isItemClass(const std::string& value);
bool isAccessibilityValue(const std::string& value);

// The value in the kind's canonical form (booleans as bool, integers as int64), or nullopt when
// the value does not fit the kind.
std::optional<CFValue> normalizeAttribute(AttributeKind kind, const CFValue& value);

// The attributes of an item's identity for its class, besides the synchronizable flag.
const std::vector<std::string>& identityAttributes(const std::string& itemClass);

}  // namespace security::internal
