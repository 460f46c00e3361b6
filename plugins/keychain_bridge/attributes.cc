#include "plugins/keychain_bridge/attributes.h"

#include <limits>

#include "platform/security/sec_item_constants.h"

namespace keychain_bridge {

std::optional<std::string> Attributes::stringEntry(const std::string& key) const {
  const CFValue* value = attributes_.find(key);
  if (value == nullptr || value->asString() == nullptr) return std::nullopt;
  return *value->asString();
}

std::optional<CFBytes> Attributes::dataEntry(const std::string& key) const {
  const CFValue* value = attributes_.find(key);
  if (value == nullptr || value->asData() == nullptr) return std::nullopt;
  return *value->asData();
}

std::optional<bool> Attributes::booleanEntry(const std::string& key) const {
  const CFValue* value = attributes_.find(key);
  return value != nullptr ? value->boolValue() : std::nullopt;
}

std::optional<CFDate> Attributes::dateEntry(const std::string& key) const {
  const CFValue* value = attributes_.find(key);
  if (value == nullptr || value->asDate() == nullptr) return std::nullopt;
  return *value->asDate();
}

std::optional<std::string> Attributes::itemClass() const { return stringEntry(kSecClass); }
std::optional<CFBytes> Attributes::data() const { return dataEntry(kSecValueData); }
std::optional<CFBytes> Attributes::ref() const { return dataEntry(kSecValueRef); }
std::optional<CFBytes> Attributes::persistentRef() const {
  return dataEntry(kSecValuePersistentRef);
}
std::optional<std::string> Attributes::accessible() const {
  return stringEntry(kSecAttrAccessible);
}

SecAccessControlRef Attributes::accessControl() const {
  const CFValue* value = attributes_.find(kSecAttrAccessControl);
  // Anything but an access-control object reads as none.
  return value != nullptr ? value->asAccessControl() : nullptr;
}

std::optional<std::string> Attributes::accessGroup() const {
  return stringEntry(kSecAttrAccessGroup);
}
std::optional<bool> Attributes::synchronizable() const {
  return booleanEntry(kSecAttrSynchronizable);
}
std::optional<CFDate> Attributes::creationDate() const { return dateEntry(kSecAttrCreationDate); }
std::optional<CFDate> Attributes::modificationDate() const {
  return dateEntry(kSecAttrModificationDate);
}
std::optional<std::string> Attributes::attributeDescription() const {
  return stringEntry(kSecAttrDescription);
}
std::optional<std::string> Attributes::comment() const { return stringEntry(kSecAttrComment); }
std::optional<std::string> Attributes::creator() const { return stringEntry(kSecAttrCreator); }
std::optional<std::string> Attributes::type() const { return stringEntry(kSecAttrType); }
std::optional<std::string> Attributes::label() const { return stringEntry(kSecAttrLabel); }
std::optional<bool> Attributes::isInvisible() const { return booleanEntry(kSecAttrIsInvisible); }
std::optional<bool> Attributes::isNegative() const { return booleanEntry(kSecAttrIsNegative); }
std::optional<std::string> Attributes::account() const { return stringEntry(kSecAttrAccount); }
std::optional<std::string> Attributes::service() const { return stringEntry(kSecAttrService); }
std::optional<CFBytes> Attributes::generic() const { return dataEntry(kSecAttrGeneric); }
std::optional<std::string> Attributes::securityDomain() const {
  return stringEntry(kSecAttrSecurityDomain);
}
std::optional<std::string> Attributes::server() const { return stringEntry(kSecAttrServer); }
std::optional<std::string> Attributes::protocol() const { return stringEntry(kSecAttrProtocol); }
std::optional<std::string> Attributes::authenticationType() const {
  return stringEntry(kSecAttrAuthenticationType);
}

std::optional<long> Attributes::port() const {
  const CFValue* value = attributes_.find(kSecAttrPort);
  auto number = value != nullptr ? value->integerValue() : std::nullopt;
  if (!number || *number < std::numeric_limits<long>::min() ||
      *number > std::numeric_limits<long>::max()) {
    return std::nullopt;
  }
  return static_cast<long>(*number);
}

std::optional<std::string> Attributes::path() const { return stringEntry(kSecAttrPath); }

}  // namespace keychain_bridge
