#include "platform/security/sec_key.h"

#include <openssl/crypto.h>

#include "platform/security/internal/keychain_store.h"
#include "platform/security/internal/p256.h"
#include "platform/security/internal/sec_key_access.h"
#include "platform/security/internal/security_state.h"
#include "platform/security/sec_access_control.h"
#include "platform/security/sec_base.h"
#include "platform/security/sec_item_constants.h"

using security::internal::eciesDecrypt;
using security::internal::eciesEncrypt;
using security::internal::generateP256KeyPair;
using security::internal::kDataProtectionKeychain;
using security::internal::KeychainItem;
using security::internal::KeychainStore;
using security::internal::KeychainTransaction;
using security::internal::kFileKeychain;
using security::internal::SecFunction;
using security::internal::SecKeyAccess;
using security::internal::SecurityState;
using security::internal::sha256;
using security::internal::storedKeyData;

SecKey::~SecKey() { OPENSSL_cleanse(private_key_.data(), private_key_.size()); }

namespace security::internal {

CFBytes storedKeyData(const SecKey& key) {
  CFBytes data = SecKeyAccess::publicKey(key);
  const CFBytes& scalar = SecKeyAccess::privateKey(key);
  data.insert(data.end(), scalar.begin(), scalar.end());
  return data;
}

SecKeyRef keyFromStoredData(const CFBytes& data, const std::string& tokenID) {
  if (data.size() != kP256PublicKeyByteCount + kP256PrivateKeyByteCount) return nullptr;
  CFBytes public_key(data.begin(), data.begin() + kP256PublicKeyByteCount);
  CFBytes private_key(data.begin() + kP256PublicKeyByteCount, data.end());
  if (!isMatchingP256KeyPair(public_key, private_key)) return nullptr;
  return SecKeyAccess::make(std::move(public_key), std::move(private_key), tokenID);
}

}  // namespace security::internal

namespace {

void setError(CFErrorRef* error, OSStatus status, const std::string& description) {
  if (error != nullptr) {
    *error = CFErrorCreate(kCFErrorDomainOSStatus, status,
                           CFDictionary{{kCFErrorLocalizedDescriptionKey, description}});
  }
}

// What a random key is to be, read from the creation parameters.
struct KeyRequest {
  std::string tokenID;
  std::string keychain = kFileKeychain;
  bool permanent = false;
  std::optional<CFBytes> tag;
  std::optional<std::string> label;
  std::optional<std::string> accessGroup;
  SecAccessControlRef accessControl;
};

// Reads one of the attributes a private key may be given.
bool readPrivateKeyAttribute(const std::string& key, const CFValue& value, KeyRequest* request) {
  if (key == kSecAttrIsPermanent) {
    auto flag = value.boolValue();
    if (!flag) return false;
    request->permanent = *flag;
  } else if (key == kSecAttrApplicationTag) {
    if (value.asData() == nullptr) return false;
    request->tag = *value.asData();
  } else if (key == kSecAttrLabel) {
    if (value.asString() == nullptr) return false;
    request->label = *value.asString();
  } else if (key == kSecAttrAccessControl) {
    request->accessControl = value.asAccessControl();
    if (!request->accessControl) return false;
  } else {
    return false;
  }
  return true;
}

std::optional<std::string> readKeyRequest(const CFDictionary& parameters, KeyRequest* request) {
  const CFValue* type = parameters.find(kSecAttrKeyType);
  if (type == nullptr || type->asString() == nullptr ||
      *type->asString() != kSecAttrKeyTypeECSECPrimeRandom) {
    return "Only P-256 elliptic-curve keys can be made.";
  }
  const CFDictionary* private_attributes = nullptr;
  for (const auto& [key, value] : parameters) {
    if (key == kSecAttrKeyType || key == kSecPublicKeyAttrs) {
      if (key == kSecPublicKeyAttrs && value.asDictionary() == nullptr)
        return "Bad key attributes.";
    } else if (key == kSecAttrKeySizeInBits) {
      if (value.integerValue() != 256) return "P-256 keys have 256 bits.";
    } else if (key == kSecAttrTokenID) {
      if (value.asString() == nullptr || *value.asString() != kSecAttrTokenIDSecureEnclave) {
        return "Unknown token.";
      }
      request->tokenID = *value.asString();
    } else if (key == kSecPrivateKeyAttrs) {
      private_attributes = value.asDictionary();
      if (private_attributes == nullptr) return "Bad key attributes.";
    } else if (key == kSecAttrAccessGroup) {
      if (value.asString() == nullptr) return "Bad access group.";
      request->accessGroup = *value.asString();
    } else if (key == kSecUseDataProtectionKeychain) {
      auto flag = value.boolValue();
      if (!flag) return "Bad keychain choice.";
      request->keychain = *flag ? kDataProtectionKeychain : kFileKeychain;
    } else if (key == kSecAttrSynchronizable) {
      // Keys never leave this device.
      if (value.boolValue() != false) return "Keys cannot be synchronized.";
    } else if (!readPrivateKeyAttribute(key, value, request)) {
      return "Unknown key parameter " + key + ".";
    }
  }
  if (private_attributes != nullptr) {
    for (const auto& [key, value] : *private_attributes) {
      if (!readPrivateKeyAttribute(key, value, request))
        return "Bad private key attribute " + key + ".";
    }
  }
  return std::nullopt;
}

KeychainItem keyItem(const KeyRequest& request, const SecKey& key) {
  KeychainItem item;
  item.itemClass = kSecClassKey;
  item.keychain = request.keychain;
  item.attributes.set(kSecAttrKeyType, kSecAttrKeyTypeECSECPrimeRandom);
  item.attributes.set(kSecAttrKeySizeInBits, int64_t{256});
  item.attributes.set(kSecAttrKeyClass, kSecAttrKeyClassPrivate);
  item.attributes.set(kSecAttrApplicationLabel, sha256(SecKeyAccess::publicKey(key)));
  item.attributes.set(kSecAttrSynchronizable, false);
  if (!request.tokenID.empty()) item.attributes.set(kSecAttrTokenID, request.tokenID);
  if (request.tag) item.attributes.set(kSecAttrApplicationTag, *request.tag);
  if (request.label) item.attributes.set(kSecAttrLabel, *request.label);
  if (request.accessGroup) item.attributes.set(kSecAttrAccessGroup, *request.accessGroup);
  item.accessControl = request.accessControl;
  item.attributes.set(kSecAttrAccessible, request.accessControl
                                              ? request.accessControl->protection()
                                              : kSecAttrAccessibleWhenUnlocked);
  item.data = storedKeyData(key);
  return item;
}

}  // namespace

SecKeyRef SecKeyCreateRandomKey(const CFDictionary& parameters, CFErrorRef* error) {
  auto& state = SecurityState::shared();
  if (auto injected = state.enter(SecFunction::keyCreateRandomKey, parameters)) {
    setError(error, *injected, "The key could not be created.");
    return nullptr;
  }
  KeyRequest request;
  if (auto problem = readKeyRequest(parameters, &request)) {
    setError(error, errSecParam, *problem);
    return nullptr;
  }
  if (!request.tokenID.empty() && !state.hardwareTokenAvailable()) {
    setError(error, errSecNotAvailable, "The hardware token is not available.");
    return nullptr;
  }
  auto pair = generateP256KeyPair();
  if (!pair) {
    setError(error, errSecAllocate, "The key could not be generated.");
    return nullptr;
  }
  SecKeyRef key =
      SecKeyAccess::make(std::move(pair->publicKey), std::move(pair->privateKey), request.tokenID);
  if (request.permanent) {
    KeychainItem item = keyItem(request, *key);
    OSStatus status = KeychainStore::shared().transact(
        [&](KeychainTransaction& transaction) { return transaction.insert(&item); });
    if (status != errSecSuccess) {
      setError(error, status, "The key could not be stored in the keychain.");
      return nullptr;
    }
  }
  return key;
}

SecKeyRef SecKeyCopyPublicKey(const SecKeyRef& key) {
  if (!key) return nullptr;
  return SecKeyAccess::make(SecKeyAccess::publicKey(*key), {}, SecKeyAccess::tokenID(*key));
}

bool SecKeyIsAlgorithmSupported(const SecKeyRef& key, SecKeyOperationType operation,
                                const SecKeyAlgorithm& algorithm) {
  if (!key || algorithm != kSecKeyAlgorithmECIESEncryptionCofactorX963SHA256AESGCM) return false;
  if (operation == kSecKeyOperationTypeEncrypt) return true;
  return operation == kSecKeyOperationTypeDecrypt && SecKeyAccess::isPrivate(*key);
}

std::optional<CFBytes> SecKeyCreateEncryptedData(const SecKeyRef& key,
                                                 const SecKeyAlgorithm& algorithm,
                                                 const CFBytes& plaintext, CFErrorRef* error) {
  if (!SecKeyIsAlgorithmSupported(key, kSecKeyOperationTypeEncrypt, algorithm)) {
    setError(error, errSecUnimplemented, "The key does not support this algorithm.");
    return std::nullopt;
  }
  auto ciphertext = eciesEncrypt(SecKeyAccess::publicKey(*key), plaintext);
  if (!ciphertext) setError(error, errSecParam, "The data could not be encrypted.");
  return ciphertext;
}

std::optional<CFBytes> SecKeyCreateDecryptedData(const SecKeyRef& key,
                                                 const SecKeyAlgorithm& algorithm,
                                                 const CFBytes& ciphertext, CFErrorRef* error) {
  if (!SecKeyIsAlgorithmSupported(key, kSecKeyOperationTypeDecrypt, algorithm)) {
    setError(error, errSecUnimplemented, "The key does not support this algorithm.");
    return std::nullopt;
  }
  auto plaintext =
      eciesDecrypt(SecKeyAccess::publicKey(*key), SecKeyAccess::privateKey(*key), ciphertext);
  if (!plaintext) setError(error, errSecDecode, "The data could not be decrypted.");
  return plaintext;
}
