#include "platform/cryptokit/aes_gcm.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace AES::GCM {
namespace {

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

const EVP_CIPHER* cipherForKey(const SymmetricKey& key) {
  switch (key.bitCount()) {
    case 128:
      return EVP_aes_128_gcm();
    case 192:
      return EVP_aes_192_gcm();
    case 256:
      return EVP_aes_256_gcm();
    default:
      return nullptr;
  }
}

bool fitsInt(size_t size) { return size <= static_cast<size_t>(INT_MAX); }

}  // namespace

Nonce::Nonce() {
  if (RAND_bytes(bytes_.data(), static_cast<int>(bytes_.size())) != 1) {
    std::fputs("CryptoKit: the random generator failed\n", stderr);
    std::abort();
  }
}

CryptoKitResult<Nonce> Nonce::withData(std::span<const uint8_t> data) {
  if (data.size() != kNonceByteCount) return CryptoKitError::incorrectParameterSize;
  std::array<uint8_t, kNonceByteCount> bytes;
  std::copy(data.begin(), data.end(), bytes.begin());
  return Nonce(bytes);
}

CryptoKitResult<SealedBox> SealedBox::withParts(const Nonce& nonce,
                                                std::span<const uint8_t> ciphertext,
                                                std::span<const uint8_t> tag) {
  if (tag.size() != kTagByteCount) return CryptoKitError::incorrectParameterSize;
  std::array<uint8_t, kTagByteCount> tag_bytes;
  std::copy(tag.begin(), tag.end(), tag_bytes.begin());
  return SealedBox(nonce, std::vector<uint8_t>(ciphertext.begin(), ciphertext.end()), tag_bytes);
}

CryptoKitResult<SealedBox> SealedBox::withCombined(std::span<const uint8_t> combined) {
  if (combined.size() < kNonceByteCount + kTagByteCount) {
    return CryptoKitError::incorrectParameterSize;
  }
  auto nonce = Nonce::withData(combined.first(kNonceByteCount));
  auto middle =
      combined.subspan(kNonceByteCount, combined.size() - kNonceByteCount - kTagByteCount);
  return withParts(nonce.value(), middle, combined.last(kTagByteCount));
}

std::vector<uint8_t> SealedBox::combined() const {
  std::vector<uint8_t> bytes;
  bytes.reserve(kNonceByteCount + ciphertext_.size() + kTagByteCount);
  bytes.insert(bytes.end(), nonce_.data().begin(), nonce_.data().end());
  bytes.insert(bytes.end(), ciphertext_.begin(), ciphertext_.end());
  bytes.insert(bytes.end(), tag_.begin(), tag_.end());
  return bytes;
}

CryptoKitResult<SealedBox> seal(std::span<const uint8_t> plaintext, const SymmetricKey& key,
                                const std::optional<Nonce>& nonce) {
  const EVP_CIPHER* cipher = cipherForKey(key);
  if (cipher == nullptr) return CryptoKitError::incorrectKeySize;
  if (!fitsInt(plaintext.size())) return CryptoKitError::incorrectParameterSize;
  Nonce used = nonce ? *nonce : Nonce();
  CipherContext context(EVP_CIPHER_CTX_new());
  std::vector<uint8_t> ciphertext(plaintext.size());
  std::array<uint8_t, kTagByteCount> tag{};
  int written = 0;
  int final_written = 0;
  bool sealed =
      context &&
      EVP_EncryptInit_ex(context.get(), cipher, nullptr, key.data().data(), used.data().data()) ==
          1 &&
      EVP_EncryptUpdate(context.get(), ciphertext.data(), &written, plaintext.data(),
                        static_cast<int>(plaintext.size())) == 1 &&
      EVP_EncryptFinal_ex(context.get(), ciphertext.data() + written, &final_written) == 1 &&
      EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(tag.size()),
                          tag.data()) == 1;
  if (!sealed) return CryptoKitError::underlyingCoreCryptoError;
  ciphertext.resize(static_cast<size_t>(written + final_written));
  return SealedBox::withParts(used, ciphertext, tag);
}

CryptoKitResult<std::vector<uint8_t>> open(const SealedBox& box, const SymmetricKey& key) {
  const EVP_CIPHER* cipher = cipherForKey(key);
  if (cipher == nullptr) return CryptoKitError::incorrectKeySize;
  if (!fitsInt(box.ciphertext().size())) return CryptoKitError::incorrectParameterSize;
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context || EVP_DecryptInit_ex(context.get(), cipher, nullptr, key.data().data(),
                                     box.nonce().data().data()) != 1) {
    return CryptoKitError::underlyingCoreCryptoError;
  }
  std::vector<uint8_t> plaintext(box.ciphertext().size());
  int written = 0;
  int final_written = 0;
  auto tag = box.tag();
  if (EVP_DecryptUpdate(context.get(), plaintext.data(), &written, box.ciphertext().data(),
                        static_cast<int>(box.ciphertext().size())) != 1 ||
      EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(tag.size()),
                          tag.data()) != 1) {
    return CryptoKitError::underlyingCoreCryptoError;
  }
  if (EVP_DecryptFinal_ex(context.get(), plaintext.data() + written, &final_written) != 1) {
    // Nothing of an unauthenticated plaintext leaves this function.
    std::fill(plaintext.begin(), plaintext.end(), 0);
    return CryptoKitError::authenticationFailure;
  }
  plaintext.resize(static_cast<size_t>(written + final_written));
  return plaintext;
}

}  // namespace AES::GCM
