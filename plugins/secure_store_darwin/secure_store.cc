#include "plugins/secure_store_darwin/secure_store.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/foundation/utf8.h"
#include "platform/security/keychain_transaction.h"
#include "platform/security/sec_item.h"
#include "platform/security/sec_item_constants.h"
#include "plugins/secure_store_darwin/keychain_query.h"
#include "plugins/secure_store_darwin/secure_enclave_sealing.h"

namespace secure_store_darwin {
namespace {

// UTF-8 text of the bytes, or null when they are not data or not valid UTF-8.
flutter::Value textOf(const CFValue& value) {
  const CFBytes* data = value.asData();
  if (data == nullptr) return nullptr;
  std::string text(data->begin(), data->end());
  if (!foundation::isValidUtf8(text)) return nullptr;
  return flutter::Value(std::move(text));
}

bool hasWrappedKeyPrefix(const std::string& account) {
  return account.starts_with(kWrappedKeyAccountPrefix);
}

std::string wrappedKeyAccount(const std::string& key) { return kWrappedKeyAccountPrefix + key; }

// What names an item: its key, service and keychain. The attributes a write sets (label,
// description, comment, flags, accessibility or access control) do not, and neither does
// sealing, which would leave the synchronizable kind out of the query.
KeychainQueryParameters identityOf(const KeychainQueryParameters& parameters) {
  KeychainQueryParameters identity = parameters;
  identity.shouldReturnData = false;
  identity.itemLabel.reset();
  identity.itemDescription.reset();
  identity.itemComment.reset();
  identity.isHidden.reset();
  identity.isPlaceholder.reset();
  identity.accessibilityLevel.reset();
  identity.accessControlFlags.reset();
  identity.useSecureEnclave.reset();
  return identity;
}

// The synchronizable kind a write asks for: sealed values never leave this device; nullopt when
// the caller did not say.
std::optional<bool> wantedSynchronizable(const KeychainQueryParameters& parameters) {
  if (parameters.sealed()) return false;
  return parameters.isSynchronizable;
}

// The attributes of a write's query that an update of the existing item sets.
CFDictionary writableAttributes(const CFDictionary& query) {
  CFDictionary attributes;
  for (const std::string* key :
       {&kSecAttrLabel, &kSecAttrDescription, &kSecAttrComment, &kSecAttrIsInvisible,
        &kSecAttrIsNegative, &kSecAttrAccessible, &kSecAttrAccessControl}) {
    if (const CFValue* value = query.find(*key)) attributes.set(*key, *value);
  }
  return attributes;
}

// Runs `operation` as one keychain transaction: another host sees all of it or none of it, and
// none of its own steps sees half of another host's. Kept when it succeeds, undone otherwise.
SecureStoreResponse inOneTransaction(const std::function<SecureStoreResponse()>& operation) {
  SecureStoreResponse response;
  bool ran = false;
  OSStatus status = security::performKeychainTransaction([&] {
    ran = true;
    response = operation();
    return response.status;
  });
  // The keychain could not be opened, or the transaction not begun or committed.
  if (!ran || status != response.status) return {status, nullptr};
  return response;
}

}  // namespace

ItemExistence SecureStore::itemExists(const KeychainQueryParameters& parameters) const {
  ItemExistence existence;
  SecureStoreResponse response = inOneTransaction([&]() -> SecureStoreResponse {
    existence = itemExistsNow(parameters);
    return {existence.status, nullptr};
  });
  if (response.status != existence.status) return {response.status, false};
  return existence;
}

ItemExistence SecureStore::itemExistsNow(const KeychainQueryParameters& parameters) const {
  for (bool synchronizable : {true, false}) {
    KeychainQueryParameters copy = parameters;
    copy.isSynchronizable = synchronizable;
    copy.shouldReturnData = false;
    auto query = baseQuery(copy);
    if (!query.ok()) return {query.error().status, false};
    OSStatus status = SecItemCopyMatching(query.value(), nullptr);
    if (status == errSecSuccess) return {errSecSuccess, true};
    if (status != errSecItemNotFound) return {status, false};
  }
  return {errSecSuccess, false};
}

OSSecResult<CFDictionary> SecureStore::wrappedKeyQuery(const KeychainQueryParameters& parameters,
                                                       const std::string& key,
                                                       bool returnData) const {
  KeychainQueryParameters copy = parameters;
  copy.shouldReturnData = returnData;
  copy.isSynchronizable = false;
  auto query = baseQuery(copy);
  if (!query.ok()) return query;
  CFDictionary adjusted = query.value();
  adjusted.set(kSecAttrAccount, wrappedKeyAccount(key));
  return adjusted;
}

SecureStoreResponse SecureStore::deleteItems(const KeychainQueryParameters& parameters,
                                             bool wholeService) const {
  return inOneTransaction([&] { return deleteItemsNow(parameters, wholeService); });
}

SecureStoreResponse SecureStore::deleteItemsNow(const KeychainQueryParameters& parameters,
                                                bool wholeService) const {
  OSStatus first_failure = errSecSuccess;
  for (bool synchronizable : {true, false}) {
    KeychainQueryParameters copy = parameters;
    if (wholeService) copy.key.reset();
    copy.isSynchronizable = synchronizable;
    copy.accessibilityLevel.reset();
    copy.accessControlFlags.reset();
    // Sealed or not, an item is found by its key: each pass must name its synchronizable kind,
    // which a sealed query would leave out.
    copy.useSecureEnclave.reset();
    auto query = baseQuery(copy);
    OSStatus status = query.ok() ? SecItemDelete(query.value()) : query.error().status;
    // Both passes must succeed or find nothing; otherwise the first other status is the answer.
    if (status != errSecSuccess && status != errSecItemNotFound && first_failure == errSecSuccess) {
      first_failure = status;
    }
  }
  return {first_failure, nullptr};
}

SecureStoreResponse SecureStore::deleteItem(const KeychainQueryParameters& parameters) const {
  // The value and its wrapped key go together: a rewrite by another host in between would leave
  // its new value without the key that opens it.
  return inOneTransaction([&]() -> SecureStoreResponse {
    SecureStoreResponse removed = deleteItemsNow(parameters, false);
    if (removed.status != errSecSuccess) return removed;
    if (parameters.sealed() && parameters.key) {
      KeychainQueryParameters wrapped = parameters;
      wrapped.key = wrappedKeyAccount(*parameters.key);
      SecureStoreResponse removed_key = deleteItemsNow(wrapped, false);
      if (removed_key.status != errSecSuccess) return removed_key;
    }
    return {};
  });
}

SecureStoreResponse SecureStore::deleteAllItems(const KeychainQueryParameters& parameters,
                                                bool removeEnclaveKey) const {
  // The items and the hardware-held key go together: a sealed write by another host in between
  // would be wrapped under a key that is then removed, and never open again.
  return inOneTransaction([&]() -> SecureStoreResponse {
    SecureStoreResponse removed = deleteItemsNow(parameters, true);
    if (removed.status == errSecSuccess && removeEnclaveKey) deleteEnclaveKey(parameters.service);
    return removed;
  });
}

OSStatus SecureStore::storeData(const KeychainQueryParameters& parameters,
                                const CFBytes& data) const {
  auto query = baseQuery(parameters);
  if (!query.ok()) return query.error().status;
  auto existing = findStoredKind(parameters);
  // A failed lookup counts as absent: the addition then reports what is wrong.
  if (!existing.ok() || !existing.value()) {
    CFDictionary attributes = query.value();
    attributes.set(kSecValueData, data);
    return SecItemAdd(attributes, nullptr);
  }
  bool found_synchronized = *existing.value();
  KeychainQueryParameters identity = identityOf(parameters);
  identity.isSynchronizable = found_synchronized;
  auto match = baseQuery(identity);
  if (!match.ok()) return match.error().status;
  CFDictionary changes = writableAttributes(query.value());
  changes.set(kSecValueData, data);
  if (auto wanted = wantedSynchronizable(parameters); wanted && *wanted != found_synchronized) {
    changes.set(kSecAttrSynchronizable, *wanted);
  }
  return SecItemUpdate(match.value(), changes);
}

OSSecResult<std::optional<bool>> SecureStore::findStoredKind(
    const KeychainQueryParameters& parameters) const {
  // The caller's own kind first: that is the item its reads see.
  bool first = wantedSynchronizable(parameters).value_or(false);
  for (bool synchronizable : {first, !first}) {
    KeychainQueryParameters identity = identityOf(parameters);
    identity.isSynchronizable = synchronizable;
    auto query = baseQuery(identity);
    if (!query.ok()) return query.error();
    OSStatus status = SecItemCopyMatching(query.value(), nullptr);
    if (status == errSecSuccess) return std::optional<bool>(synchronizable);
    if (status != errSecItemNotFound) return OSSecError{status, std::nullopt};
  }
  return std::optional<bool>();
}

SecureStoreResponse SecureStore::writeItem(const KeychainQueryParameters& parameters,
                                           const std::string& value) const {
  if (parameters.sealed()) return writeSealed(parameters, value);
  // The lookup and the write it decides on, as one: no other writer comes in between.
  OSStatus status = security::performKeychainTransaction(
      [&] { return storeData(parameters, CFBytes(value.begin(), value.end())); });
  return {status, nullptr};
}

SecureStoreResponse SecureStore::writeSealed(const KeychainQueryParameters& parameters,
                                             const std::string& value) const {
  if (!parameters.key) return {errSecParam, nullptr};
  if (!isAtLeastCatalina()) {
    KeychainQueryParameters plain = parameters;
    plain.useSecureEnclave = false;
    return writeItem(plain, value);
  }
  // The hardware-held key, the wrapped key and the sealed value are written together or not at
  // all: a value is never left beside a wrapped key that cannot open it.
  bool began = false;
  OSStatus status = security::performKeychainTransaction([&]() -> OSStatus {
    began = true;
    auto key = enclaveKey(parameters.service);
    // A key the keychain could not read or store (a full disk) is a disk error, as a plain
    // write's would be; any other failure to get it stays a parameter error.
    if (!key.ok()) return key.error().status == errSecIO ? errSecIO : errSecParam;
    SecKeyRef public_key = SecKeyCopyPublicKey(key.value());
    if (!public_key) return errSecParam;
    auto secret = sealSecret(value, public_key);
    if (!secret.ok()) return errSecParam;

    KeychainQueryParameters wrapped = parameters;
    wrapped.key = wrappedKeyAccount(*parameters.key);
    wrapped.shouldReturnData = false;
    wrapped.isSynchronizable = false;
    if (OSStatus stored = storeData(wrapped, secret.value().wrappedKey); stored != errSecSuccess) {
      return stored;
    }
    KeychainQueryParameters sealed_value = parameters;
    sealed_value.shouldReturnData = false;
    return storeData(sealed_value, secret.value().sealedValue);
  });
  // Getting the hardware-held key comes first, and a keychain that cannot even be opened is a
  // parameter error.
  if (!began) status = errSecParam;
  return {status, nullptr};
}

SecureStoreResponse SecureStore::readPlain(const KeychainQueryParameters& parameters) const {
  auto query = baseQuery(parameters);
  if (!query.ok()) return {query.error().status, nullptr};
  CFValue result;
  OSStatus status = SecItemCopyMatching(query.value(), &result);
  if (status == errSecItemNotFound) return {};
  if (status != errSecSuccess) return {status, nullptr};
  return {errSecSuccess, textOf(result)};
}

SecureStoreResponse SecureStore::readSealed(const KeychainQueryParameters& parameters) const {
  if (!parameters.key) return {errSecParam, nullptr};
  KeychainQueryParameters plain = parameters;
  plain.useSecureEnclave = false;
  // Older systems store sealed-mode values as they are (see writeSealed), with no wrapped key.
  if (!isAtLeastCatalina()) return readPlain(plain);
  auto wrapped_query = wrappedKeyQuery(parameters, *parameters.key, true);
  if (!wrapped_query.ok()) return {wrapped_query.error().status, nullptr};
  CFValue wrapped_key;
  OSStatus status = SecItemCopyMatching(wrapped_query.value(), &wrapped_key);
  if (status == errSecItemNotFound) return {};
  if (status != errSecSuccess) return {status, nullptr};

  KeychainQueryParameters value_parameters = parameters;
  value_parameters.shouldReturnData = true;
  auto value_query = baseQuery(value_parameters);
  if (!value_query.ok()) return {value_query.error().status, nullptr};
  CFValue sealed_value;
  status = SecItemCopyMatching(value_query.value(), &sealed_value);
  if (status == errSecItemNotFound) return {};
  if (status != errSecSuccess) return {status, nullptr};

  if (wrapped_key.asData() != nullptr && sealed_value.asData() != nullptr) {
    auto key = enclaveKey(parameters.service);
    if (key.ok()) {
      auto opened = openSecret({*sealed_value.asData(), *wrapped_key.asData()}, key.value());
      if (opened.outcome == OpenedSecret::Outcome::tooShort) return {errSecDecode, nullptr};
      if (opened.outcome == OpenedSecret::Outcome::opened) {
        return {errSecSuccess, textOf(CFValue(std::move(opened.plaintext)))};
      }
    }
  }
  // Values written before sealing was asked for read as they are.
  return readPlain(plain);
}

SecureStoreResponse SecureStore::readItem(const KeychainQueryParameters& parameters) const {
  // A sealed value is read with its wrapped key in one transaction, never across a rewrite.
  if (parameters.sealed()) return inOneTransaction([&] { return readSealed(parameters); });
  return readPlain(parameters);
}

SecureStoreResponse SecureStore::readAllItems(const KeychainQueryParameters& parameters) const {
  return inOneTransaction([&] { return readAllItemsNow(parameters); });
}

SecureStoreResponse SecureStore::readAllItemsNow(const KeychainQueryParameters& parameters) const {
  auto base = baseQuery(parameters);
  if (!base.ok()) return {base.error().status, nullptr};
  CFDictionary query = base.value();
  query.set(kSecMatchLimit, kSecMatchLimitAll);
  query.set(kSecReturnAttributes, true);
  query.set(kSecReturnData, true);
  CFValue result;
  OSStatus status = SecItemCopyMatching(query, &result);
  if (status == errSecItemNotFound) return {};
  if (status != errSecSuccess) return {status, nullptr};

  flutter::ValueMap entries;
  const CFArray* items = result.asArray();
  if (items == nullptr) return {errSecSuccess, std::move(entries)};
  // Both synchronizable kinds may hold a key: the later item's value stands, found through an
  // index so that many items cost in proportion to their number.
  std::unordered_map<std::string, size_t> position_of;
  std::vector<std::pair<std::string, flutter::Value>> found;
  for (const CFValue& item : *items) {
    const CFDictionary* attributes = item.asDictionary();
    const CFValue* account = attributes != nullptr ? attributes->find(kSecAttrAccount) : nullptr;
    if (account == nullptr || account->asString() == nullptr) continue;
    const std::string& key = *account->asString();
    if (hasWrappedKeyPrefix(key)) continue;
    flutter::Value entry;
    if (parameters.sealed()) {
      KeychainQueryParameters one = parameters;
      one.key = key;
      SecureStoreResponse read = readSealed(one);
      if (read.status == errSecSuccess && read.value.asString() != nullptr) entry = read.value;
    }
    if (entry.isNull()) {
      const CFValue* data = attributes->find(kSecValueData);
      if (data != nullptr) entry = textOf(*data);
    }
    if (entry.isNull()) continue;
    auto [at, added] = position_of.try_emplace(key, found.size());
    if (added) {
      found.emplace_back(key, std::move(entry));
    } else {
      found[at->second].second = std::move(entry);
    }
  }
  entries.reserve(found.size());
  for (auto& [key, value] : found) entries.append(flutter::Value(std::move(key)), std::move(value));
  return {errSecSuccess, std::move(entries)};
}

}  // namespace secure_store_darwin
