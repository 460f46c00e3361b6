// The keychain operations behind the secure-storage methods. Values are strings stored as
// UTF-8 in generic-password items whose account is the key; sealed values (useSecureEnclave)
// also keep a wrapped-key item under "sst.wrapped." and the key. Not-found is never an error:
// reads answer no value and deletions succeed. Each operation is one keychain transaction, also
// for another host on the same keychain. Stateless; runs on the plug-in's serial queue.
#pragma once

#include <optional>
#include <string>

#include "platform/security/cf_value.h"
#include "plugins/secure_store_darwin/keychain_query_parameters.h"
#include "plugins/secure_store_darwin/os_sec_error.h"
#include "plugins/secure_store_darwin/secure_store_response.h"

namespace secure_store_darwin {

// The answer of an existence test: a failure status, or whether the item exists.
struct ItemExistence {
  OSStatus status = errSecSuccess;
  bool exists = false;
};

class SecureStore {
 public:
  // A map from key to value, or no value when nothing matches.
  SecureStoreResponse readAllItems(const KeychainQueryParameters& parameters) const;
  SecureStoreResponse readItem(const KeychainQueryParameters& parameters) const;
  SecureStoreResponse writeItem(const KeychainQueryParameters& parameters,
                                const std::string& value) const;
  SecureStoreResponse deleteItem(const KeychainQueryParameters& parameters) const;
  // With `wholeService`, every key of the service.
  SecureStoreResponse deleteItems(const KeychainQueryParameters& parameters,
                                  bool wholeService) const;
  // Every key of the service and, with `removeEnclaveKey`, the service's hardware-held key, in
  // one transaction ("deleteAll").
  SecureStoreResponse deleteAllItems(const KeychainQueryParameters& parameters,
                                     bool removeEnclaveKey) const;
  // Looks among synchronized items first, then among the others.
  ItemExistence itemExists(const KeychainQueryParameters& parameters) const;
  OSSecResult<CFDictionary> wrappedKeyQuery(const KeychainQueryParameters& parameters,
                                            const std::string& key, bool returnData) const;

 private:
  // The steps of the operations above, within the transaction the caller holds.
  ItemExistence itemExistsNow(const KeychainQueryParameters& parameters) const;
  SecureStoreResponse deleteItemsNow(const KeychainQueryParameters& parameters,
                                     bool wholeService) const;
  SecureStoreResponse readAllItemsNow(const KeychainQueryParameters& parameters) const;
  SecureStoreResponse readPlain(const KeychainQueryParameters& parameters) const;
  SecureStoreResponse readSealed(const KeychainQueryParameters& parameters) const;
  // Replaces the data and the attributes of the item of that key when one exists (of either
  // synchronizable kind, whatever its other attributes), else adds it.
  OSStatus storeData(const KeychainQueryParameters& parameters, const CFBytes& data) const;
  // The synchronizable kind of the stored item of that key, nullopt when there is none.
  OSSecResult<std::optional<bool>> findStoredKind(const KeychainQueryParameters& parameters) const;
  SecureStoreResponse writeSealed(const KeychainQueryParameters& parameters,
                                  const std::string& value) const;
};

}  // namespace secure_store_darwin
