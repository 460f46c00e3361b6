#include "platform/security/keychain_transaction.h"

#include "platform/security/internal/keychain_store.h"

namespace security {

OSStatus performKeychainTransaction(const std::function<OSStatus()>& body) {
  return internal::KeychainStore::shared().transact(
      [&](internal::KeychainTransaction& /*transaction*/) { return body(); });
}

}  // namespace security
