// The item operations of a keychain handle: reads, writes, removals and existence checks.
#include "platform/foundation/utf8.h"
#include "platform/security/keychain_transaction.h"
#include "platform/security/sec_access_control.h"
#include "platform/security/sec_item.h"
#include "platform/security/sec_item_constants.h"
#include "plugins/keychain_bridge/diagnostic_line.h"
#include "plugins/keychain_bridge/keychain.h"

namespace keychain_bridge {

CFDictionary Keychain::itemQuery(bool ignoringAttributeSynchronizable) const {
  CFDictionary query{{kSecClass, options_.itemClass.rawValue()}};
  if (options_.accessGroup) query.set(kSecAttrAccessGroup, *options_.accessGroup);
  if (ignoringAttributeSynchronizable) {
    query.set(kSecAttrSynchronizable, kSecAttrSynchronizableAny);
  } else {
    query.set(kSecAttrSynchronizable, options_.synchronizable);
  }
  if (options_.itemClass == ItemClass::genericPassword) {
    query.set(kSecAttrService, options_.service);
  } else {
    if (options_.server && options_.server->host()) {
      query.set(kSecAttrServer, *options_.server->host());
    }
    if (options_.server && options_.server->port()) {
      query.set(kSecAttrPort, int64_t{*options_.server->port()});
    }
    if (options_.protocolType) query.set(kSecAttrProtocol, options_.protocolType->rawValue());
    query.set(kSecAttrAuthenticationType, options_.authenticationType.rawValue());
  }
  if (options_.authenticationPrompt) {
    query.set(kSecUseOperationPrompt, *options_.authenticationPrompt);
  }
  if (options_.authenticationContext) {
    query.set(kSecUseAuthenticationContext, options_.authenticationContext);
  }
  return query;
}

std::pair<CFDictionary, std::optional<KeychainError>> Keychain::itemAttributes(
    const std::optional<std::string>& key, const CFBytes& value) const {
  CFDictionary attributes;
  if (key) {
    attributes = itemQuery(true);
    attributes.set(kSecAttrAccount, *key);
  }
  attributes.set(kSecValueData, value);
  if (options_.label) attributes.set(kSecAttrLabel, *options_.label);
  if (options_.comment) attributes.set(kSecAttrComment, *options_.comment);
  if (options_.authenticationPolicy) {
    CFErrorRef error;
    SecAccessControlRef access_control = SecAccessControlCreateWithFlags(
        options_.accessibility.rawValue(), options_.authenticationPolicy->rawValue, &error);
    if (!access_control) {
      if (error) return {attributes, KeychainError(errorFromCFError(error))};
      return {attributes, KeychainError(Status::unexpectedError)};
    }
    attributes.set(kSecAttrAccessControl, access_control);
  } else {
    attributes.set(kSecAttrAccessible, options_.accessibility.rawValue());
  }
  attributes.set(kSecAttrSynchronizable, options_.synchronizable);
  return {attributes, std::nullopt};
}

Result<std::optional<CFBytes>> Keychain::getData(const std::string& key,
                                                 bool ignoringAttributeSynchronizable) const {
  CFDictionary query = itemQuery(ignoringAttributeSynchronizable);
  query.set(kSecMatchLimit, kSecMatchLimitOne);
  query.set(kSecReturnData, true);
  query.set(kSecAttrAccount, key);
  CFValue result;
  OSStatus status = SecItemCopyMatching(query, &result);
  if (status == errSecItemNotFound) return std::optional<CFBytes>();
  if (status != errSecSuccess) return securityError(status);
  if (result.asData() == nullptr) return Status::unexpectedError;
  return std::optional<CFBytes>(*result.asData());
}

Result<std::optional<std::string>> Keychain::getString(const std::string& key,
                                                       bool ignoringAttributeSynchronizable) const {
  auto data = getData(key, ignoringAttributeSynchronizable);
  if (!data.ok()) return data.error();
  if (!data.value()) return std::optional<std::string>();
  std::string text(data.value()->begin(), data.value()->end());
  if (!foundation::isValidUtf8(text)) {
    writeDiagnosticLine("failed to convert data to string");
    return Status::conversionError;
  }
  return std::optional<std::string>(std::move(text));
}

Result<std::optional<std::string>> Keychain::get(const std::string& key,
                                                 bool ignoringAttributeSynchronizable) const {
  return getString(key, ignoringAttributeSynchronizable);
}

Result<std::optional<Attributes>> Keychain::readAttributes(
    const std::string& key, bool ignoringAttributeSynchronizable) const {
  CFDictionary query = itemQuery(ignoringAttributeSynchronizable);
  query.set(kSecMatchLimit, kSecMatchLimitOne);
  query.set(kSecReturnData, true);
  query.set(kSecReturnAttributes, true);
  query.set(kSecReturnRef, true);
  query.set(kSecReturnPersistentRef, true);
  query.set(kSecAttrAccount, key);
  CFValue result;
  OSStatus status = SecItemCopyMatching(query, &result);
  if (status == errSecItemNotFound) return std::optional<Attributes>();
  if (status != errSecSuccess) return securityError(status);
  if (result.asDictionary() == nullptr) return Status::unexpectedError;
  return std::optional<Attributes>(Attributes(*result.asDictionary()));
}

Result<void> Keychain::set(const std::string& value, const std::string& key,
                           bool ignoringAttributeSynchronizable) const {
  if (!foundation::isValidUtf8(value)) {
    writeDiagnosticLine("failed to convert string to data");
    return Status::conversionError;
  }
  return set(CFBytes(value.begin(), value.end()), key, ignoringAttributeSynchronizable);
}

Result<void> Keychain::set(const CFBytes& value, const std::string& key,
                           bool ignoringAttributeSynchronizable) const {
  Result<void> outcome;
  bool ran = false;
  OSStatus status = security::performKeychainTransaction([&] {
    ran = true;
    outcome = setNow(value, key, ignoringAttributeSynchronizable);
    // Any failure undoes the transaction; its own status stays in `outcome`.
    return outcome.ok() ? errSecSuccess : errSecIO;
  });
  if (ran && !outcome.ok()) return outcome;
  // The keychain could not be opened, or the transaction not begun or committed.
  if (status != errSecSuccess) return securityError(status);
  return outcome;
}

Result<void> Keychain::setNow(const CFBytes& value, const std::string& key,
                              bool ignoringAttributeSynchronizable) const {
  CFDictionary existence = itemQuery(ignoringAttributeSynchronizable);
  existence.set(kSecAttrAccount, key);
  existence.set(kSecReturnData, true);
  existence.set(kSecUseAuthenticationUI, options_.authenticationUI
                                             ? options_.authenticationUI->rawValue()
                                             : kSecUseAuthenticationUIFail);
  OSStatus status = SecItemCopyMatching(existence, nullptr);
  if (status == errSecSuccess || status == errSecInteractionNotAllowed) {
    CFDictionary match = itemQuery(true);
    match.set(kSecAttrAccount, key);
    auto [changes, error] = itemAttributes(std::nullopt, value);
    if (error) {
      writeDiagnosticLine(error->localizedDescription());
      return *error;
    }
    for (const auto& [attribute, entry] : options_.attributes) changes.set(attribute, entry);
    status = SecItemUpdate(match, changes);
    if (status != errSecSuccess) return securityError(status);
    return {};
  }
  if (status == errSecItemNotFound) {
    auto [attributes, error] = itemAttributes(key, value);
    if (error) {
      writeDiagnosticLine(error->localizedDescription());
      return *error;
    }
    for (const auto& [attribute, entry] : options_.attributes) attributes.set(attribute, entry);
    status = SecItemAdd(attributes, nullptr);
    if (status != errSecSuccess) return securityError(status);
    return {};
  }
  return securityError(status);
}

Result<void> Keychain::remove(const std::string& key, bool ignoringAttributeSynchronizable) const {
  CFDictionary query = itemQuery(ignoringAttributeSynchronizable);
  query.set(kSecAttrAccount, key);
  OSStatus status = SecItemDelete(query);
  if (status != errSecSuccess && status != errSecItemNotFound) return securityError(status);
  return {};
}

Result<void> Keychain::removeAll() const {
  CFDictionary query = itemQuery(true);
  query.set(kSecMatchLimit, kSecMatchLimitAll);
  OSStatus status = SecItemDelete(query);
  if (status != errSecSuccess && status != errSecItemNotFound) return securityError(status);
  return {};
}

Result<bool> Keychain::contains(const std::string& key, bool withoutAuthenticationUI) const {
  CFDictionary query = itemQuery(true);
  query.set(kSecAttrAccount, key);
  if (options_.authenticationUI) {
    query.set(kSecUseAuthenticationUI, options_.authenticationUI->rawValue());
  } else if (withoutAuthenticationUI) {
    query.set(kSecUseAuthenticationUI, kSecUseAuthenticationUIFail);
  }
  OSStatus status = SecItemCopyMatching(query, nullptr);
  if (status == errSecSuccess) return true;
  if (status == errSecItemNotFound) return false;
  if (status == errSecInteractionNotAllowed) return withoutAuthenticationUI;
  return securityError(status);
}

std::optional<std::string> Keychain::StringSubscript::value() const {
  auto text = keychain_.getString(key_, true);
  return text.ok() ? text.value() : std::nullopt;
}

Keychain::StringSubscript& Keychain::StringSubscript::operator=(
    const std::optional<std::string>& value) {
  if (value) {
    keychain_.set(*value, key_, true);
  } else {
    keychain_.remove(key_, true);
  }
  return *this;
}

std::optional<CFBytes> Keychain::DataSubscript::value() const {
  auto data = keychain_.getData(key_, true);
  return data.ok() ? data.value() : std::nullopt;
}

Keychain::DataSubscript& Keychain::DataSubscript::operator=(const std::optional<CFBytes>& value) {
  if (value) {
    keychain_.set(*value, key_, true);
  } else {
    keychain_.remove(key_, true);
  }
  return *this;
}

std::optional<Attributes> Keychain::attributesSubscript(const std::string& key) const {
  auto attributes = readAttributes(key, true);
  return attributes.ok() ? attributes.value() : std::nullopt;
}

}  // namespace keychain_bridge
