// Byte forms of item parts: the attribute dictionary as stored, the identity that the store
// keeps unique, and persistent references.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/security/cf_value.h"
#include "platform/security/internal/keychain_item.h"

namespace security::internal {

// Scalar values only (booleans, numbers, strings, data, dates); other entries are left out.
CFBytes encodeAttributes(const CFDictionary& attributes);
// nullopt for bytes that encodeAttributes did not make.
std::optional<CFDictionary> decodeAttributes(std::span<const uint8_t> bytes);

// The class's identity attributes and the synchronizable flag, in a fixed order.
CFBytes identityOf(const KeychainItem& item);
// The bytes that begin the identity of every item whose attributes equal `filters` (as far as
// the identity's leading attributes are among them) and, when known, whose synchronizable flag is
// `synchronized`. Empty when the first identity attribute is not filtered.
CFBytes identityPrefixOf(const std::string& itemClass, const CFDictionary& filters,
                         std::optional<bool> synchronized);

CFBytes persistentReference(const KeychainItem& item);
// The item id a persistent reference names within `keychain`; nullopt when it names none.
std::optional<int64_t> itemIdOfPersistentReference(const CFBytes& reference,
                                                   const std::string& keychain);

}  // namespace security::internal
