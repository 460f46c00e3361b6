// AES in Galois/Counter Mode: authenticated encryption with 12-byte nonces and 16-byte tags.
// Keys of 128, 192 or 256 bits. Opening fails, with no plaintext, on any change to the nonce,
// the ciphertext or the tag, and under any other key.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/cryptokit/crypto_kit_error.h"
#include "platform/cryptokit/symmetric_key.h"

namespace AES::GCM {

inline constexpr size_t kNonceByteCount = 12;
inline constexpr size_t kTagByteCount = 16;

class Nonce {
 public:
  // A fresh random nonce.
  Nonce();
  // Exactly 12 bytes, else incorrectParameterSize.
  static CryptoKitResult<Nonce> withData(std::span<const uint8_t> data);

  const std::array<uint8_t, kNonceByteCount>& data() const { return bytes_; }

 private:
  explicit Nonce(const std::array<uint8_t, kNonceByteCount>& bytes) : bytes_(bytes) {}
  std::array<uint8_t, kNonceByteCount> bytes_;
};

class SealedBox {
 public:
  // A 16-byte tag, else incorrectParameterSize.
  static CryptoKitResult<SealedBox> withParts(const Nonce& nonce,
                                              std::span<const uint8_t> ciphertext,
                                              std::span<const uint8_t> tag);
  // Nonce, ciphertext and tag, in that order: at least 28 bytes, else incorrectParameterSize.
  static CryptoKitResult<SealedBox> withCombined(std::span<const uint8_t> combined);

  const Nonce& nonce() const { return nonce_; }
  const std::vector<uint8_t>& ciphertext() const { return ciphertext_; }
  const std::array<uint8_t, kTagByteCount>& tag() const { return tag_; }
  // Nonce, ciphertext and tag, in that order.
  std::vector<uint8_t> combined() const;

 private:
  SealedBox(Nonce nonce, std::vector<uint8_t> ciphertext,
            const std::array<uint8_t, kTagByteCount>& tag)
      : nonce_(std::move(nonce)), ciphertext_(std::move(ciphertext)), tag_(tag) {}

  Nonce nonce_;
  std::vector<uint8_t> ciphertext_;
  std::array<uint8_t, kTagByteCount> tag_;
};

// Seals without additional authenticated data; a fresh random nonce when none is given.
CryptoKitResult<SealedBox> seal(std::span<const uint8_t> plaintext, const SymmetricKey& key,
                                const std::optional<Nonce>& nonce = std::nullopt);
CryptoKitResult<std::vector<uint8_t>> open(const SealedBox& box, const SymmetricKey& key);

}  // namespace AES::GCM
