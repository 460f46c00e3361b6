#include "platform/security/internal/keychain_query.h"

#include "platform/security/internal/attribute_schema.h"
#include "platform/security/internal/item_coding.h"
#include "platform/security/sec_access_control.h"
#include "platform/security/sec_item_constants.h"

namespace security::internal {
namespace {

enum class Reading { query, add, update };

// Everything a dictionary said, before the reading's own rules are applied.
struct DictionaryContents {
  std::optional<std::string> itemClass;
  bool dataProtection = false;
  CFDictionary attributes;
  std::optional<SynchronizableMatch> synchronizable;
  SecAccessControlRef accessControl;
  std::optional<CFBytes> data;
  std::optional<CFBytes> persistentReference;
  ItemQuery answer;  // limit, returns, authentication
};

OSStatus readReturnFlag(const CFValue& value, bool* flag) {
  auto read = value.boolValue();
  if (!read) return errSecParam;
  *flag = *read;
  return errSecSuccess;
}

OSStatus readControlEntry(Reading reading, const std::string& key, const CFValue& value,
                          DictionaryContents* contents) {
  ItemQuery& answer = contents->answer;
  bool searching = reading != Reading::update;
  if (key == kSecClass && reading != Reading::update) {
    auto* text = value.asString();
    if (text == nullptr) return errSecParam;
    if (!isItemClass(*text)) return errSecNoSuchClass;
    contents->itemClass = *text;
  } else if (key == kSecMatchLimit && searching) {
    if (auto* text = value.asString(); text != nullptr && *text == kSecMatchLimitOne) {
      answer.limit = 1;
    } else if (text != nullptr && *text == kSecMatchLimitAll) {
      answer.limit = std::nullopt;
    } else if (auto count = value.integerValue(); count && *count >= 1) {
      answer.limit = static_cast<size_t>(*count);
    } else {
      return errSecParam;
    }
  } else if (key == kSecReturnData && searching) {
    return readReturnFlag(value, &answer.returnData);
  } else if (key == kSecReturnAttributes && searching) {
    return readReturnFlag(value, &answer.returnAttributes);
  } else if (key == kSecReturnRef && searching) {
    return readReturnFlag(value, &answer.returnRef);
  } else if (key == kSecReturnPersistentRef && searching) {
    return readReturnFlag(value, &answer.returnPersistentRef);
  } else if (key == kSecValueData && reading != Reading::query) {
    if (value.asData() == nullptr) return errSecParam;
    contents->data = *value.asData();
  } else if (key == kSecValuePersistentRef && reading == Reading::query) {
    if (value.asData() == nullptr) return errSecParam;
    contents->persistentReference = *value.asData();
  } else if (key == kSecUseOperationPrompt && searching) {
    if (value.asString() == nullptr) return errSecParam;
    answer.operationPrompt = *value.asString();
  } else if (key == kSecUseAuthenticationUI && searching) {
    auto* text = value.asString();
    if (text != nullptr && *text == kSecUseAuthenticationUIAllow) {
      answer.authenticationUI = AuthenticationUIMode::allow;
    } else if (text != nullptr && *text == kSecUseAuthenticationUIFail) {
      answer.authenticationUI = AuthenticationUIMode::fail;
    } else if (text != nullptr && *text == kSecUseAuthenticationUISkip) {
      answer.authenticationUI = AuthenticationUIMode::skip;
    } else {
      return errSecParam;
    }
  } else if (key == kSecUseAuthenticationContext && searching) {
    answer.context = value.asContext();
    if (!answer.context) return errSecParam;
  } else if (key == kSecUseDataProtectionKeychain && reading != Reading::update) {
    auto flag = value.boolValue();
    if (!flag) return errSecParam;
    contents->dataProtection = *flag;
  } else {
    return errSecParam;
  }
  return errSecSuccess;
}

OSStatus readDictionary(const CFDictionary& dictionary, Reading reading,
                        DictionaryContents* contents) {
  for (const auto& [key, value] : dictionary) {
    auto kind = attributeKind(key);
    OSStatus status = errSecSuccess;
    if (!kind) {
      status = readControlEntry(reading, key, value, contents);
    } else if (reading != Reading::query && isReadOnlyAttribute(key)) {
      status = errSecReadOnlyAttr;
    } else if (key == kSecAttrSynchronizable) {
      if (auto* text = value.asString(); text != nullptr && *text == kSecAttrSynchronizableAny) {
        // "Any" selects items; it cannot describe one.
        if (reading != Reading::query) return errSecParam;
        contents->synchronizable = SynchronizableMatch::any;
      } else if (auto flag = value.boolValue()) {
        contents->synchronizable =
            *flag ? SynchronizableMatch::synchronized : SynchronizableMatch::nonSynchronized;
      } else {
        status = errSecParam;
      }
    } else if (key == kSecAttrAccessControl) {
      contents->accessControl = value.asAccessControl();
      if (!contents->accessControl) status = errSecParam;
    } else if (auto normalized = normalizeAttribute(*kind, value)) {
      contents->attributes.set(key, std::move(*normalized));
    } else {
      status = errSecParam;
    }
    if (status != errSecSuccess) return status;
  }
  if (reading != Reading::query && contents->accessControl &&
      contents->attributes.contains(kSecAttrAccessible)) {
    return errSecParam;
  }
  return errSecSuccess;
}

}  // namespace

OSStatus parseItemQuery(const CFDictionary& query, ItemQuery* out) {
  DictionaryContents contents;
  if (OSStatus status = readDictionary(query, Reading::query, &contents); status != errSecSuccess) {
    return status;
  }
  if (!contents.itemClass) return errSecParam;
  *out = std::move(contents.answer);
  out->itemClass = *contents.itemClass;
  out->keychain = contents.dataProtection ? kDataProtectionKeychain : kFileKeychain;
  out->filters = std::move(contents.attributes);
  if (contents.accessControl) out->filters.set(kSecAttrAccessControl, contents.accessControl);
  out->synchronizable = contents.synchronizable.value_or(SynchronizableMatch::nonSynchronized);
  if (contents.persistentReference) {
    out->byPersistentReference = true;
    out->itemId = itemIdOfPersistentReference(*contents.persistentReference, out->keychain);
  }
  // Hardware-held keys never leave the token, and passwords have no object reference.
  if (out->itemClass == kSecClassKey && out->returnData) return errSecParam;
  if (out->itemClass != kSecClassKey && out->returnRef && !out->returnAttributes &&
      !out->returnData && !out->returnPersistentRef) {
    return errSecParam;
  }
  return errSecSuccess;
}

OSStatus parseNewItem(const CFDictionary& attributes, KeychainItem* item, ItemQuery* returns) {
  DictionaryContents contents;
  if (OSStatus status = readDictionary(attributes, Reading::add, &contents);
      status != errSecSuccess) {
    return status;
  }
  if (!contents.itemClass) return errSecParam;
  item->itemClass = *contents.itemClass;
  item->keychain = contents.dataProtection ? kDataProtectionKeychain : kFileKeychain;
  item->attributes = std::move(contents.attributes);
  item->accessControl = contents.accessControl;
  item->data = std::move(contents.data);
  bool synchronized = contents.synchronizable == SynchronizableMatch::synchronized;
  item->attributes.set(kSecAttrSynchronizable, synchronized);
  if (item->accessControl) {
    item->attributes.set(kSecAttrAccessible, item->accessControl->protection());
  } else if (!item->attributes.contains(kSecAttrAccessible)) {
    item->attributes.set(kSecAttrAccessible, kSecAttrAccessibleWhenUnlocked);
  }
  *returns = std::move(contents.answer);
  returns->itemClass = item->itemClass;
  return errSecSuccess;
}

OSStatus parseItemChanges(const CFDictionary& attributesToUpdate, ItemChanges* out) {
  DictionaryContents contents;
  if (OSStatus status = readDictionary(attributesToUpdate, Reading::update, &contents);
      status != errSecSuccess) {
    return status;
  }
  out->attributes = std::move(contents.attributes);
  if (contents.synchronizable) {
    out->attributes.set(kSecAttrSynchronizable,
                        *contents.synchronizable == SynchronizableMatch::synchronized);
  }
  out->accessControl = contents.accessControl;
  out->data = std::move(contents.data);
  return errSecSuccess;
}

bool matches(const ItemQuery& query, const KeychainItem& item) {
  if (query.byPersistentReference && query.itemId != item.id) return false;
  const CFValue* synchronizable = item.attributes.find(kSecAttrSynchronizable);
  bool synchronized = synchronizable != nullptr && synchronizable->boolValue().value_or(false);
  switch (query.synchronizable) {
    case SynchronizableMatch::nonSynchronized:
      if (synchronized) return false;
      break;
    case SynchronizableMatch::synchronized:
      if (!synchronized) return false;
      break;
    case SynchronizableMatch::any:
      break;
  }
  for (const auto& [key, wanted] : query.filters) {
    if (key == kSecAttrAccessControl) {
      if (!item.accessControl || CFValue(item.accessControl) != wanted) return false;
      continue;
    }
    const CFValue* value = item.attributes.find(key);
    if (value == nullptr || *value != wanted) return false;
  }
  return true;
}

void applyChanges(const ItemChanges& changes, KeychainItem* item) {
  for (const auto& [key, value] : changes.attributes) item->attributes.set(key, value);
  if (changes.accessControl) {
    item->accessControl = changes.accessControl;
    item->attributes.set(kSecAttrAccessible, changes.accessControl->protection());
  } else if (changes.attributes.contains(kSecAttrAccessible)) {
    // A plain accessibility replaces whatever access control the item had.
    item->accessControl = nullptr;
  }
  if (changes.data) item->data = changes.data;
}

}  // namespace security::internal
