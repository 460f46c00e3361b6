#include "platform/security/sec_item.h"

#include "platform/security/internal/item_authorization.h"
#include "platform/security/internal/item_coding.h"
#include "platform/security/internal/keychain_query.h"
#include "platform/security/internal/keychain_store.h"
#include "platform/security/internal/sec_key_access.h"
#include "platform/security/internal/security_state.h"
#include "platform/security/sec_item_constants.h"

using security::internal::applyChanges;
using security::internal::identityPrefixOf;
using security::internal::ItemAuthorization;
using security::internal::ItemChanges;
using security::internal::ItemQuery;
using security::internal::ItemSelection;
using security::internal::KeychainItem;
using security::internal::KeychainStore;
using security::internal::KeychainTransaction;
using security::internal::keyFromStoredData;
using security::internal::matches;
using security::internal::parseItemChanges;
using security::internal::parseItemQuery;
using security::internal::parseNewItem;
using security::internal::persistentReference;
using security::internal::SecFunction;
using security::internal::SecurityState;
using security::internal::SynchronizableMatch;

namespace {

// One item's part of a search result.
CFValue answerFor(const ItemQuery& query, const KeychainItem& item) {
  int kinds = int{query.returnData} + int{query.returnRef} + int{query.returnPersistentRef};
  SecKeyRef key;
  if (query.returnRef && item.itemClass == kSecClassKey && item.data) {
    const CFValue* token = item.attributes.find(kSecAttrTokenID);
    key = keyFromStoredData(*item.data, token != nullptr && token->asString() != nullptr
                                            ? *token->asString()
                                            : std::string());
  }
  if (!query.returnAttributes && kinds == 1) {
    if (query.returnData) return item.data.value_or(CFBytes());
    if (query.returnPersistentRef) return persistentReference(item);
    return key ? CFValue(key) : CFValue();
  }
  CFDictionary answer;
  if (query.returnAttributes) {
    answer = item.attributes;
    answer.set(kSecClass, item.itemClass);
    if (item.accessControl) answer.set(kSecAttrAccessControl, item.accessControl);
  }
  if (query.returnData && item.data) answer.set(kSecValueData, *item.data);
  if (query.returnPersistentRef) answer.set(kSecValuePersistentRef, persistentReference(item));
  if (key) answer.set(kSecValueRef, key);
  return answer;
}

CFValue resultOf(const ItemQuery& query, const std::vector<KeychainItem>& found) {
  if (query.limit == 1) return answerFor(query, found.front());
  CFArray answers;
  for (const auto& item : found) answers.push_back(answerFor(query, item));
  return answers;
}

// The stored items that can match the query, narrowed down in SQL: those of its class and
// keychain, and as far as it names them, of its identity's leading attributes.
ItemSelection selectionFor(const ItemQuery& query) {
  std::optional<bool> synchronized;
  if (query.synchronizable != SynchronizableMatch::any) {
    synchronized = query.synchronizable == SynchronizableMatch::synchronized;
  }
  ItemSelection selection{query.keychain, query.itemClass,
                          identityPrefixOf(query.itemClass, query.filters, synchronized),
                          std::nullopt};
  // A reference that names no item matches nothing.
  if (query.byPersistentReference) selection.id = query.itemId.value_or(-1);
  return selection;
}

// The items that the query selects, without their data; errSecItemNotFound for none.
OSStatus readMatchingItems(KeychainTransaction& transaction, const ItemQuery& query,
                           std::vector<KeychainItem>* found) {
  std::vector<KeychainItem> items;
  if (OSStatus read = transaction.items(selectionFor(query), &items); read != errSecSuccess) {
    return read;
  }
  for (auto& item : items) {
    if (matches(query, item)) found->push_back(std::move(item));
  }
  return found->empty() ? errSecItemNotFound : errSecSuccess;
}

// Data is read only for the items an answer holds, and only when the answer needs it.
OSStatus loadDataFor(KeychainTransaction& transaction, std::vector<KeychainItem>* items) {
  for (auto& item : *items) {
    if (OSStatus loaded = transaction.loadData(&item); loaded != errSecSuccess) return loaded;
  }
  return errSecSuccess;
}

}  // namespace

OSStatus SecItemAdd(const CFDictionary& attributes, CFValue* result) {
  if (auto injected = SecurityState::shared().enter(SecFunction::itemAdd, attributes)) {
    return *injected;
  }
  KeychainItem item;
  ItemQuery returns;
  if (OSStatus status = parseNewItem(attributes, &item, &returns); status != errSecSuccess) {
    return status;
  }
  // Keys come from SecKeyCreateRandomKey, so that every stored key is a sound key pair.
  if (item.itemClass == kSecClassKey) return errSecParam;
  CFDate now{CFAbsoluteTimeGetCurrent()};
  item.attributes.set(kSecAttrCreationDate, now);
  item.attributes.set(kSecAttrModificationDate, now);
  OSStatus status = KeychainStore::shared().transact(
      [&](KeychainTransaction& transaction) { return transaction.insert(&item); });
  if (status == errSecSuccess && result != nullptr && returns.returnsAnything()) {
    returns.limit = 1;
    *result = answerFor(returns, item);
  }
  return status;
}

OSStatus SecItemCopyMatching(const CFDictionary& query, CFValue* result) {
  if (auto injected = SecurityState::shared().enter(SecFunction::itemCopyMatching, query)) {
    return *injected;
  }
  ItemQuery parsed;
  if (OSStatus status = parseItemQuery(query, &parsed); status != errSecSuccess) return status;
  std::vector<KeychainItem> found;
  OSStatus status = KeychainStore::shared().transact([&](KeychainTransaction& transaction) {
    std::vector<KeychainItem> items;
    if (OSStatus read = transaction.items(selectionFor(parsed), &items); read != errSecSuccess) {
      return read;
    }
    ItemAuthorization authorization(parsed);
    for (auto& item : items) {
      if (parsed.limit && found.size() >= *parsed.limit) break;
      if (!matches(parsed, item)) continue;
      if (parsed.returnData) {
        OSStatus denied = errSecSuccess;
        switch (authorization.authorizeDataRead(item, &denied)) {
          case ItemAuthorization::Outcome::granted:
            break;
          case ItemAuthorization::Outcome::skipped:
            continue;
          case ItemAuthorization::Outcome::failed:
            return denied;
        }
      }
      found.push_back(std::move(item));
    }
    if (found.empty()) return errSecItemNotFound;
    bool needs_data = parsed.returnData || (parsed.returnRef && parsed.itemClass == kSecClassKey);
    return needs_data ? loadDataFor(transaction, &found) : errSecSuccess;
  });
  // A failed search changes nothing, so the transaction's status is the answer either way.
  if (status == errSecSuccess && result != nullptr && parsed.returnsAnything()) {
    *result = resultOf(parsed, found);
  }
  return status;
}

OSStatus SecItemUpdate(const CFDictionary& query, const CFDictionary& attributesToUpdate) {
  if (auto injected =
          SecurityState::shared().enter(SecFunction::itemUpdate, query, attributesToUpdate)) {
    return *injected;
  }
  ItemQuery parsed;
  ItemChanges changes;
  if (OSStatus status = parseItemQuery(query, &parsed); status != errSecSuccess) return status;
  if (OSStatus status = parseItemChanges(attributesToUpdate, &changes); status != errSecSuccess) {
    return status;
  }
  return KeychainStore::shared().transact([&](KeychainTransaction& transaction) {
    std::vector<KeychainItem> found;
    if (OSStatus read = readMatchingItems(transaction, parsed, &found); read != errSecSuccess) {
      return read;
    }
    // An update rewrites the whole row: the data it keeps is read first.
    if (!changes.data) {
      if (OSStatus loaded = loadDataFor(transaction, &found); loaded != errSecSuccess) {
        return loaded;
      }
    }
    CFDate now{CFAbsoluteTimeGetCurrent()};
    for (auto& item : found) {
      applyChanges(changes, &item);
      item.attributes.set(kSecAttrModificationDate, now);
      // Any failure rolls every change back.
      if (OSStatus written = transaction.update(item); written != errSecSuccess) return written;
    }
    return errSecSuccess;
  });
}

OSStatus SecItemDelete(const CFDictionary& query) {
  if (auto injected = SecurityState::shared().enter(SecFunction::itemDelete, query)) {
    return *injected;
  }
  ItemQuery parsed;
  if (OSStatus status = parseItemQuery(query, &parsed); status != errSecSuccess) return status;
  return KeychainStore::shared().transact([&](KeychainTransaction& transaction) {
    std::vector<KeychainItem> found;
    if (OSStatus read = readMatchingItems(transaction, parsed, &found); read != errSecSuccess) {
      return read;
    }
    for (const auto& item : found) {
      if (OSStatus removed = transaction.remove(item.id); removed != errSecSuccess) return removed;
    }
    return errSecSuccess;
  });
}
