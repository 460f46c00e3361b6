// Asymmetric keys: random P-256 key pairs, optionally held by the emulated hardware token and
// kept as keychain items under their tag, and ECIES encryption to them.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/security/cf_error.h"
#include "platform/security/cf_value.h"

namespace security::internal {
class SecKeyAccess;
}  // namespace security::internal

enum SecKeyOperationType : int {
  kSecKeyOperationTypeSign = 0,
  kSecKeyOperationTypeVerify = 1,
  kSecKeyOperationTypeEncrypt = 2,
  kSecKeyOperationTypeDecrypt = 3,
  kSecKeyOperationTypeKeyExchange = 4,
};

using SecKeyAlgorithm = std::string;

// Ephemeral P-256 key, ECDH, X9.63 KDF over SHA-256, AES-GCM. The ciphertext is the ephemeral
// public key (65 bytes), the encrypted bytes and the 16-byte tag; it is this system's own
// layout.
inline const SecKeyAlgorithm kSecKeyAlgorithmECIESEncryptionCofactorX963SHA256AESGCM =
    "ecies-encryption-cofactor-x963-sha256-aesgcm";

class SecKey {
 public:
  ~SecKey();
  SecKey(const SecKey&) = delete;
  SecKey& operator=(const SecKey&) = delete;

 private:
  friend class security::internal::SecKeyAccess;
  SecKey(CFBytes publicKey, CFBytes privateKey, std::string tokenID)
      : public_key_(std::move(publicKey)),
        private_key_(std::move(privateKey)),
        token_id_(std::move(tokenID)) {}

  CFBytes public_key_;   // uncompressed point, 65 bytes
  CFBytes private_key_;  // the scalar, 32 bytes; empty for a public key
  std::string token_id_;
};

using SecKeyRef = std::shared_ptr<const SecKey>;

// Parameters: kSecAttrKeyType (kSecAttrKeyTypeECSECPrimeRandom), kSecAttrKeySizeInBits (256),
// kSecAttrTokenID (optional, kSecAttrTokenIDSecureEnclave), kSecPrivateKeyAttrs (a dictionary
// with kSecAttrIsPermanent, kSecAttrApplicationTag, kSecAttrLabel, kSecAttrAccessControl),
// kSecAttrAccessGroup and kSecUseDataProtectionKeychain. A permanent key is added to the
// keychain as a private-key item. Null with an error on failure.
SecKeyRef SecKeyCreateRandomKey(const CFDictionary& parameters, CFErrorRef* error);
SecKeyRef SecKeyCopyPublicKey(const SecKeyRef& key);
bool SecKeyIsAlgorithmSupported(const SecKeyRef& key, SecKeyOperationType operation,
                                const SecKeyAlgorithm& algorithm);
// Encrypts to a public key.
std::optional<CFBytes> SecKeyCreateEncryptedData(const SecKeyRef& key,
                                                 const SecKeyAlgorithm& algorithm,
                                                 const CFBytes& plaintext, CFErrorRef* error);
// Decrypts with a private key; fails on any change to the ciphertext or under another key.
std::optional<CFBytes> SecKeyCreateDecryptedData(const SecKeyRef& key,
                                                 const SecKeyAlgorithm& algorithm,
                                                 const CFBytes& ciphertext, CFErrorRef* error);
