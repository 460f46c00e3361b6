#include "plugins/secure_store_darwin/secure_enclave_sealing.h"

#include <openssl/crypto.h>

#include "platform/cryptokit/aes_gcm.h"
#include "platform/security/keychain_transaction.h"
#include "platform/security/sec_access_control.h"
#include "platform/security/sec_item.h"
#include "platform/security/sec_item_constants.h"

namespace secure_store_darwin {
namespace {

constexpr const char* kEnclaveKeyTagPrefix = "sst.enclave.";
constexpr const char* kDefaultService = "secure_store_service";

const SecKeyAlgorithm& eciesAlgorithm() {
  return kSecKeyAlgorithmECIESEncryptionCofactorX963SHA256AESGCM;
}

CFDictionary enclaveKeyQuery(const std::optional<std::string>& service) {
  return {{kSecClass, kSecClassKey},
          {kSecAttrKeyType, kSecAttrKeyTypeECSECPrimeRandom},
          {kSecAttrApplicationTag, enclaveKeyTag(service)}};
}

std::optional<std::string> descriptionOf(const CFErrorRef& error) {
  if (!error) return std::nullopt;
  return CFErrorCopyDescription(error);
}

OSSecResult<SecKeyRef> findOrCreateEnclaveKey(const std::optional<std::string>& service) {
  CFDictionary lookup = enclaveKeyQuery(service);
  lookup.set(kSecReturnRef, true);
  CFValue found;
  OSStatus status = SecItemCopyMatching(lookup, &found);
  if (status == errSecSuccess && found.asKey()) return found.asKey();
  // Any answer but "not found" may hide an existing key: making another would leave two keys
  // under one tag, and values wrapped by the first unreadable.
  if (status != errSecItemNotFound) {
    return OSSecError{status == errSecSuccess ? errSecParam : status,
                      "The hardware-held key could not be looked up."};
  }
  CFDictionary private_attributes{{kSecAttrIsPermanent, true},
                                  {kSecAttrApplicationTag, enclaveKeyTag(service)}};
  if (auto access_control =
          SecAccessControlCreateWithFlags(kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
                                          kSecAccessControlPrivateKeyUsage, nullptr)) {
    private_attributes.set(kSecAttrAccessControl, access_control);
  }
  CFDictionary parameters{{kSecAttrKeyType, kSecAttrKeyTypeECSECPrimeRandom},
                          {kSecAttrKeySizeInBits, int32_t{256}},
                          {kSecAttrTokenID, kSecAttrTokenIDSecureEnclave},
                          {kSecPrivateKeyAttrs, std::move(private_attributes)}};
  CFErrorRef error;
  SecKeyRef key = SecKeyCreateRandomKey(parameters, &error);
  if (!key) {
    // A key the keychain could not store (a full disk, a file-size limit) is a disk error, as
    // for any write, and its cause is logged with it; every other failure is the parameters'.
    const bool not_stored = error && CFErrorGetDomain(error) == kCFErrorDomainOSStatus &&
                            CFErrorGetCode(error) == errSecIO;
    return OSSecError{not_stored ? errSecIO : errSecParam, descriptionOf(error)};
  }
  return key;
}

// Wipes secret bytes when the scope ends, whichever way it ends.
class WipedOnExit {
 public:
  explicit WipedOnExit(CFBytes& bytes) : bytes_(bytes) {}
  ~WipedOnExit() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }
  WipedOnExit(const WipedOnExit&) = delete;
  WipedOnExit& operator=(const WipedOnExit&) = delete;

 private:
  CFBytes& bytes_;
};

}  // namespace

CFBytes enclaveKeyTag(const std::optional<std::string>& service) {
  std::string tag = kEnclaveKeyTagPrefix + service.value_or(kDefaultService);
  return CFBytes(tag.begin(), tag.end());
}

OSSecResult<SecKeyRef> enclaveKey(const std::optional<std::string>& service) {
  std::optional<OSSecResult<SecKeyRef>> answer;
  // The lookup and the creation it decides on, as one: two hosts racing for a service's first
  // key end with one key.
  OSStatus status = security::performKeychainTransaction([&] {
    answer = findOrCreateEnclaveKey(service);
    return answer->ok() ? errSecSuccess : answer->error().status;
  });
  // A keychain that could not be opened, or a new key that was not kept, is no key.
  if (!answer || (answer->ok() && status != errSecSuccess)) {
    return OSSecError{status, "The hardware-held key could not be looked up."};
  }
  return std::move(*answer);
}

OSSecResult<CFBytes> eciesEncrypt(const SecKeyRef& publicKey, const CFBytes& plaintext) {
  if (!SecKeyIsAlgorithmSupported(publicKey, kSecKeyOperationTypeEncrypt, eciesAlgorithm())) {
    return OSSecError{errSecUnimplemented, "ECIES not supported for encryption"};
  }
  CFErrorRef error;
  auto ciphertext = SecKeyCreateEncryptedData(publicKey, eciesAlgorithm(), plaintext, &error);
  if (!ciphertext) return OSSecError{errSecParam, descriptionOf(error)};
  return std::move(*ciphertext);
}

OSSecResult<CFBytes> eciesDecrypt(const SecKeyRef& privateKey, const CFBytes& ciphertext) {
  if (!SecKeyIsAlgorithmSupported(privateKey, kSecKeyOperationTypeDecrypt, eciesAlgorithm())) {
    return OSSecError{errSecUnimplemented, "ECIES not supported for decryption"};
  }
  CFErrorRef error;
  auto plaintext = SecKeyCreateDecryptedData(privateKey, eciesAlgorithm(), ciphertext, &error);
  if (!plaintext) return OSSecError{errSecAuthFailed, descriptionOf(error)};
  return std::move(*plaintext);
}

void deleteEnclaveKey(const std::optional<std::string>& service) {
  SecItemDelete(enclaveKeyQuery(service));
}

OSSecResult<SealedSecret> sealSecret(const std::string& plaintext, const SecKeyRef& publicKey) {
  SymmetricKey key(SymmetricKeySize::bits256);
  auto box = AES::GCM::seal(CFBytes(plaintext.begin(), plaintext.end()), key, AES::GCM::Nonce());
  if (!box) return OSSecError{errSecParam, "The value could not be sealed."};
  auto wrapped = eciesEncrypt(publicKey, key.data());
  if (!wrapped.ok()) return OSSecError{errSecParam, wrapped.error().message};
  return SealedSecret{box.value().combined(), wrapped.value()};
}

OpenedSecret openSecret(const SealedSecret& secret, const SecKeyRef& privateKey) {
  auto unwrapped = eciesDecrypt(privateKey, secret.wrappedKey);
  if (!unwrapped.ok()) return {OpenedSecret::Outcome::unreadable, {}};
  // Beyond this call the key lives on only inside SymmetricKey, which wipes itself.
  WipedOnExit wiped(unwrapped.value());
  if (secret.sealedValue.size() < AES::GCM::kNonceByteCount + AES::GCM::kTagByteCount) {
    return {OpenedSecret::Outcome::tooShort, {}};
  }
  auto box = AES::GCM::SealedBox::withCombined(secret.sealedValue);
  if (!box) return {OpenedSecret::Outcome::unreadable, {}};
  SymmetricKey key(unwrapped.value());
  auto opened = AES::GCM::open(box.value(), key);
  if (!opened) return {OpenedSecret::Outcome::unreadable, {}};
  return {OpenedSecret::Outcome::opened, std::move(opened).value()};
}

}  // namespace secure_store_darwin
