// P-256 keys and ECIES over them, with OpenSSL: an ephemeral key pair per encryption, ECDH,
// the X9.63 KDF over SHA-256 (shared information: the ephemeral public key) giving an AES-256
// key and a 12-byte nonce, and AES-GCM. Ciphertext: ephemeral public key (65 bytes), encrypted
// bytes, 16-byte tag.
#pragma once

#include <optional>
#include <span>

#include "platform/security/cf_value.h"

namespace security::internal {

inline constexpr size_t kP256PublicKeyByteCount = 65;  // 0x04, X, Y
inline constexpr size_t kP256PrivateKeyByteCount = 32;

struct P256KeyPair {
  CFBytes publicKey;
  CFBytes privateKey;
};

std::optional<P256KeyPair> generateP256KeyPair();
// A private key whose public half is `publicKey`.
bool isMatchingP256KeyPair(const CFBytes& publicKey, const CFBytes& privateKey);

std::optional<CFBytes> eciesEncrypt(const CFBytes& recipientPublicKey,
                                    std::span<const uint8_t> plaintext);
// nullopt on any change to the ciphertext, or under another key.
std::optional<CFBytes> eciesDecrypt(const CFBytes& recipientPublicKey,
                                    const CFBytes& recipientPrivateKey,
                                    std::span<const uint8_t> ciphertext);

CFBytes sha256(std::span<const uint8_t> bytes);

}  // namespace security::internal
