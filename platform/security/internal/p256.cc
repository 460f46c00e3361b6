#include "platform/security/internal/p256.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/param_build.h>

#include <memory>

#include "platform/cryptokit/aes_gcm.h"

namespace security::internal {
namespace {

template <auto Free>
struct Deleter {
  template <typename T>
  void operator()(T* pointer) const {
    Free(pointer);
  }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using KeyContextPtr = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using ParamBuilderPtr = std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD_free>>;
using ParamsPtr = std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM_free>>;
using BignumPtr = std::unique_ptr<BIGNUM, Deleter<BN_clear_free>>;
using KdfPtr = std::unique_ptr<EVP_KDF, Deleter<EVP_KDF_free>>;
using KdfContextPtr = std::unique_ptr<EVP_KDF_CTX, Deleter<EVP_KDF_CTX_free>>;

constexpr const char* kGroupName = "prime256v1";
constexpr size_t kDerivedKeyByteCount = 32;
constexpr size_t kDerivedMaterialByteCount = kDerivedKeyByteCount + AES::GCM::kNonceByteCount;

// Secrets held in a buffer that is wiped when it goes away.
class SecretBytes {
 public:
  explicit SecretBytes(size_t size) : bytes_(size) {}
  ~SecretBytes() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  uint8_t* data() { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }
  std::span<const uint8_t> span() const { return bytes_; }
  void resize(size_t size) { bytes_.resize(size); }

 private:
  std::vector<uint8_t> bytes_;
};

std::optional<CFBytes> publicPointOf(EVP_PKEY* key) {
  CFBytes point(kP256PublicKeyByteCount);
  size_t length = 0;
  if (EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size(),
                                      &length) != 1 ||
      length != kP256PublicKeyByteCount || point[0] != 0x04) {
    return std::nullopt;
  }
  return point;
}

KeyPtr keyFromData(const CFBytes& publicKey, const CFBytes* privateKey) {
  if (publicKey.size() != kP256PublicKeyByteCount ||
      (privateKey != nullptr && privateKey->size() != kP256PrivateKeyByteCount)) {
    return nullptr;
  }
  ParamBuilderPtr builder(OSSL_PARAM_BLD_new());
  BignumPtr scalar;
  if (!builder ||
      OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, kGroupName, 0) !=
          1 ||
      OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, publicKey.data(),
                                       publicKey.size()) != 1) {
    return nullptr;
  }
  if (privateKey != nullptr) {
    scalar.reset(BN_bin2bn(privateKey->data(), static_cast<int>(privateKey->size()), nullptr));
    if (!scalar ||
        OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, scalar.get()) != 1) {
      return nullptr;
    }
  }
  ParamsPtr params(OSSL_PARAM_BLD_to_param(builder.get()));
  KeyContextPtr context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* raw = nullptr;
  if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &raw,
                        privateKey != nullptr ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                        params.get()) != 1) {
    EVP_PKEY_free(raw);
    return nullptr;
  }
  KeyPtr key(raw);
  KeyContextPtr check(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
  bool sound = check && (privateKey != nullptr ? EVP_PKEY_pairwise_check(check.get())
                                               : EVP_PKEY_public_check(check.get())) == 1;
  return sound ? std::move(key) : nullptr;
}

bool deriveSharedSecret(EVP_PKEY* privateKey, EVP_PKEY* peerPublicKey, SecretBytes* secret) {
  KeyContextPtr context(EVP_PKEY_CTX_new_from_pkey(nullptr, privateKey, nullptr));
  size_t length = secret->size();
  if (!context || EVP_PKEY_derive_init(context.get()) != 1 ||
      EVP_PKEY_derive_set_peer_ex(context.get(), peerPublicKey, 1) != 1 ||
      EVP_PKEY_derive(context.get(), secret->data(), &length) != 1) {
    return false;
  }
  secret->resize(length);
  return true;
}

bool x963Kdf(std::span<const uint8_t> secret, const CFBytes& sharedInfo, SecretBytes* out) {
  KdfPtr kdf(EVP_KDF_fetch(nullptr, "X963KDF", nullptr));
  KdfContextPtr context(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr);
  if (!context) return false;
  char digest[] = "SHA256";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<uint8_t*>(secret.data()),
                                        secret.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO,
                                        const_cast<uint8_t*>(sharedInfo.data()), sharedInfo.size()),
      OSSL_PARAM_construct_end()};
  return EVP_KDF_derive(context.get(), out->data(), out->size(), params) == 1;
}

// The AES key and nonce both sides derive from the ECDH secret.
struct SessionKey {
  SymmetricKey key;
  AES::GCM::Nonce nonce;
};

std::optional<SessionKey> deriveSessionKey(EVP_PKEY* privateKey, EVP_PKEY* peerPublicKey,
                                           const CFBytes& ephemeralPublicKey) {
  SecretBytes secret(64);
  SecretBytes material(kDerivedMaterialByteCount);
  if (!deriveSharedSecret(privateKey, peerPublicKey, &secret) ||
      !x963Kdf(secret.span(), ephemeralPublicKey, &material)) {
    return std::nullopt;
  }
  auto nonce = AES::GCM::Nonce::withData(material.span().subspan(kDerivedKeyByteCount));
  return SessionKey{SymmetricKey(material.span().first(kDerivedKeyByteCount)), nonce.value()};
}

}  // namespace

std::optional<P256KeyPair> generateP256KeyPair() {
  KeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  if (!key) return std::nullopt;
  auto point = publicPointOf(key.get());
  BIGNUM* raw_scalar = nullptr;
  if (!point || EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &raw_scalar) != 1) {
    return std::nullopt;
  }
  BignumPtr scalar(raw_scalar);
  CFBytes private_key(kP256PrivateKeyByteCount);
  if (BN_bn2binpad(scalar.get(), private_key.data(), static_cast<int>(private_key.size())) < 0) {
    return std::nullopt;
  }
  return P256KeyPair{std::move(*point), std::move(private_key)};
}

bool isMatchingP256KeyPair(const CFBytes& publicKey, const CFBytes& privateKey) {
  return keyFromData(publicKey, &privateKey) != nullptr;
}

std::optional<CFBytes> eciesEncrypt(const CFBytes& recipientPublicKey,
                                    std::span<const uint8_t> plaintext) {
  KeyPtr recipient = keyFromData(recipientPublicKey, nullptr);
  KeyPtr ephemeral(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  if (!recipient || !ephemeral) return std::nullopt;
  auto ephemeral_public = publicPointOf(ephemeral.get());
  if (!ephemeral_public) return std::nullopt;
  auto session = deriveSessionKey(ephemeral.get(), recipient.get(), *ephemeral_public);
  if (!session) return std::nullopt;
  auto sealed = AES::GCM::seal(plaintext, session->key, session->nonce);
  if (!sealed) return std::nullopt;
  CFBytes ciphertext = std::move(*ephemeral_public);
  const auto& box = sealed.value();
  ciphertext.insert(ciphertext.end(), box.ciphertext().begin(), box.ciphertext().end());
  ciphertext.insert(ciphertext.end(), box.tag().begin(), box.tag().end());
  return ciphertext;
}

std::optional<CFBytes> eciesDecrypt(const CFBytes& recipientPublicKey,
                                    const CFBytes& recipientPrivateKey,
                                    std::span<const uint8_t> ciphertext) {
  if (ciphertext.size() < kP256PublicKeyByteCount + AES::GCM::kTagByteCount) return std::nullopt;
  CFBytes ephemeral_public(ciphertext.begin(), ciphertext.begin() + kP256PublicKeyByteCount);
  KeyPtr recipient = keyFromData(recipientPublicKey, &recipientPrivateKey);
  KeyPtr ephemeral = keyFromData(ephemeral_public, nullptr);
  if (!recipient || !ephemeral) return std::nullopt;
  auto session = deriveSessionKey(recipient.get(), ephemeral.get(), ephemeral_public);
  if (!session) return std::nullopt;
  auto body = ciphertext.subspan(kP256PublicKeyByteCount);
  auto box = AES::GCM::SealedBox::withParts(session->nonce,
                                            body.first(body.size() - AES::GCM::kTagByteCount),
                                            body.last(AES::GCM::kTagByteCount));
  if (!box) return std::nullopt;
  auto opened = AES::GCM::open(box.value(), session->key);
  if (!opened) return std::nullopt;
  return std::move(opened).value();
}

CFBytes sha256(std::span<const uint8_t> bytes) {
  CFBytes digest(32);
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr);
  digest.resize(length);
  return digest;
}

}  // namespace security::internal
