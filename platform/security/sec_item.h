// The keychain's item functions. Items are generic passwords, internet passwords and keys,
// kept per application in a SQLite database (nothing is encrypted at rest), in two separate
// keychains: the data-protection keychain (kSecUseDataProtectionKeychain true) and the
// file-based one.
//
// - Every dictionary needs kSecClass. Unknown keys, values of the wrong kind, the
//   kSecAttrSynchronizableAny marker outside a query, an accessibility together with an
//   access control, and an unknown authentication-UI value answer errSecParam.
// - Each item is unique by its class's identity (account, service, access group and
//   synchronizable; for internet passwords also server, protocol, authentication type, port,
//   path and security domain): a clash answers errSecDuplicateItem.
// - Every attribute of a query filters by equality; synchronizable absent or false selects
//   unsynchronized items, true synchronized ones, kSecAttrSynchronizableAny both.
// - Searches answer in creation order, one item unless kSecMatchLimit says otherwise, shaped by
//   the kSecReturn keys (several keys, or attributes: a dictionary per item); nothing found
//   answers errSecItemNotFound. Data protected by an access control that asks for the user is
//   only answered after LocalAuthentication approves (kSecUseAuthenticationUIFail: answer
//   errSecInteractionNotAllowed instead of asking; ...Skip: leave such items out).
// - An update changes every match or none; a deletion removes every match.
#pragma once

#include "platform/security/cf_value.h"
#include "platform/security/sec_base.h"

// `result` (optional) receives what the kSecReturn keys ask for.
OSStatus SecItemAdd(const CFDictionary& attributes, CFValue* result);
OSStatus SecItemCopyMatching(const CFDictionary& query, CFValue* result);
OSStatus SecItemUpdate(const CFDictionary& query, const CFDictionary& attributesToUpdate);
OSStatus SecItemDelete(const CFDictionary& query);
