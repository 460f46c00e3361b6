// Making and reading keys inside the Security stand-in.
#pragma once

#include <string>

#include "platform/security/sec_key.h"

namespace security::internal {

class SecKeyAccess {
 public:
  static SecKeyRef make(CFBytes publicKey, CFBytes privateKey, std::string tokenID) {
    return SecKeyRef(new SecKey(std::move(publicKey), std::move(privateKey), std::move(tokenID)));
  }
  static const CFBytes& publicKey(const SecKey& key) { return key.public_key_; }
  static const CFBytes& privateKey(const SecKey& key) { return key.private_key_; }
  static bool isPrivate(const SecKey& key) { return !key.private_key_.empty(); }
  static const std::string& tokenID(const SecKey& key) { return key.token_id_; }
};

// The stored form of a private key item's key: public point, then the scalar.
CFBytes storedKeyData(const SecKey& key);
// Null when the bytes are not a matching P-256 key pair.
SecKeyRef keyFromStoredData(const CFBytes& data, const std::string& tokenID);

}  // namespace security::internal
