#include "platform/webrtc/rtc_frame_cryptor_cipher.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>

#include <memory>
#include <span>
#include <string_view>

#include "platform/cryptokit/aes_gcm.h"

namespace webrtc_model {
namespace {

// The frame format's IV and tag sizes are the cipher's; they must never drift apart.
static_assert(kFrameCryptoIvSize == AES::GCM::kNonceByteCount);
static_assert(kFrameCryptoTagSize == AES::GCM::kTagByteCount);

constexpr int kPbkdf2Iterations = 100000;
constexpr std::string_view kHkdfInfo = "frame encryption key";

using KdfContext = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;

// OpenSSL reads nothing through a null pointer of a zero length, but wants a valid pointer.
const unsigned char* dataOf(const Bytes& bytes) {
  static const unsigned char kEmpty = 0;
  return bytes.empty() ? &kEmpty : bytes.data();
}

Bytes pbkdf2(const Bytes& material, const Bytes& salt) {
  Bytes key(kFrameCryptoKeySize);
  const int ok = PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(dataOf(material)),
                                   static_cast<int>(material.size()), dataOf(salt),
                                   static_cast<int>(salt.size()), kPbkdf2Iterations, EVP_sha256(),
                                   static_cast<int>(key.size()), key.data());
  return ok == 1 ? key : Bytes();
}

Bytes hkdf(const Bytes& material, const Bytes& salt) {
  KdfContext context(EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr), &EVP_PKEY_CTX_free);
  Bytes key(kFrameCryptoKeySize);
  size_t length = key.size();
  const auto* info = reinterpret_cast<const unsigned char*>(kHkdfInfo.data());
  if (!context || EVP_PKEY_derive_init(context.get()) != 1 ||
      EVP_PKEY_CTX_set_hkdf_md(context.get(), EVP_sha256()) != 1 ||
      EVP_PKEY_CTX_set1_hkdf_salt(context.get(), dataOf(salt), static_cast<int>(salt.size())) !=
          1 ||
      EVP_PKEY_CTX_set1_hkdf_key(context.get(), dataOf(material),
                                 static_cast<int>(material.size())) != 1 ||
      EVP_PKEY_CTX_add1_hkdf_info(context.get(), info, static_cast<int>(kHkdfInfo.size())) != 1 ||
      EVP_PKEY_derive(context.get(), key.data(), &length) != 1 || length != key.size()) {
    return Bytes();
  }
  return key;
}

}  // namespace

Bytes deriveFrameKey(const Bytes& material, const Bytes& salt, int keyDerivationAlgorithm) {
  return keyDerivationAlgorithm == 1 ? hkdf(material, salt) : pbkdf2(material, salt);
}

Bytes ratchetMaterial(const Bytes& material, const Bytes& salt) {
  Bytes next(EVP_MAX_MD_SIZE);
  unsigned int length = 0;
  if (HMAC(EVP_sha256(), dataOf(material), static_cast<int>(material.size()), dataOf(salt),
           salt.size(), next.data(), &length) == nullptr) {
    return Bytes();
  }
  next.resize(length);
  return next;
}

Bytes randomIv() {
  Bytes iv(kFrameCryptoIvSize);
  if (RAND_bytes(iv.data(), static_cast<int>(iv.size())) != 1) return Bytes();
  return iv;
}

std::optional<Bytes> sealAesGcm(const Bytes& key, const Bytes& iv, const Bytes& plaintext) {
  if (key.size() != kFrameCryptoKeySize) return std::nullopt;
  auto nonce = AES::GCM::Nonce::withData(iv);
  if (!nonce) return std::nullopt;
  auto box = AES::GCM::seal(plaintext, SymmetricKey(key), nonce.value());
  if (!box) return std::nullopt;
  Bytes sealed = box.value().ciphertext();
  sealed.insert(sealed.end(), box.value().tag().begin(), box.value().tag().end());
  return sealed;
}

std::optional<Bytes> openAesGcm(const Bytes& key, const Bytes& iv, const Bytes& sealed) {
  if (key.size() != kFrameCryptoKeySize || sealed.size() < kFrameCryptoTagSize) {
    return std::nullopt;
  }
  auto nonce = AES::GCM::Nonce::withData(iv);
  if (!nonce) return std::nullopt;
  const std::span<const uint8_t> bytes(sealed);
  auto box = AES::GCM::SealedBox::withParts(nonce.value(),
                                            bytes.first(sealed.size() - kFrameCryptoTagSize),
                                            bytes.last(kFrameCryptoTagSize));
  if (!box) return std::nullopt;
  auto plaintext = AES::GCM::open(box.value(), SymmetricKey(key));
  if (!plaintext) return std::nullopt;
  return std::move(plaintext).value();
}

}  // namespace webrtc_model
