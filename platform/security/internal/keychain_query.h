// Reading the dictionaries of the SecItem functions: which items a query selects and what it
// asks to be answered, what a new item holds, and what an update changes. Every reader answers
// errSecParam for an unknown key, a value of the wrong kind or a combination that cannot be.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "platform/localauthentication/la_context.h"
#include "platform/security/cf_value.h"
#include "platform/security/internal/keychain_item.h"
#include "platform/security/sec_base.h"

namespace security::internal {

enum class AuthenticationUIMode { allow, fail, skip };
enum class SynchronizableMatch { nonSynchronized, synchronized, any };

struct ItemQuery {
  std::string itemClass;
  std::string keychain = kFileKeychain;
  CFDictionary filters;  // attribute values in canonical form, synchronizable aside
  SynchronizableMatch synchronizable = SynchronizableMatch::nonSynchronized;
  bool byPersistentReference = false;
  std::optional<int64_t> itemId;    // when byPersistentReference; nullopt matches nothing
  std::optional<size_t> limit = 1;  // nullopt: every match
  bool returnData = false;
  bool returnAttributes = false;
  bool returnRef = false;
  bool returnPersistentRef = false;
  AuthenticationUIMode authenticationUI = AuthenticationUIMode::allow;
  std::shared_ptr<LAContext> context;
  std::string operationPrompt;

  bool returnsAnything() const {
    return returnData || returnAttributes || returnRef || returnPersistentRef;
  }
};

struct ItemChanges {
  CFDictionary attributes;
  SecAccessControlRef accessControl;
  std::optional<CFBytes> data;
};

OSStatus parseItemQuery(const CFDictionary& query, ItemQuery* out);
// A new item, and in `returns` what the addition asks to be answered.
OSStatus parseNewItem(const CFDictionary& attributes, KeychainItem* item, ItemQuery* returns);
OSStatus parseItemChanges(const CFDictionary& attributesToUpdate, ItemChanges* out);

bool matches(const ItemQuery& query, const KeychainItem& item);
void applyChanges(const ItemChanges& changes, KeychainItem* item);

}  // namespace security::internal
