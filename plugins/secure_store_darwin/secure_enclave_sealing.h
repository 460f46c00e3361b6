// Sealing values under a hardware-held key: each value is sealed with AES-GCM under a fresh
// 256-bit key (nonce, ciphertext, tag), and that key is kept only wrapped by ECIES to a P-256
// key that never leaves the hardware token. One hardware-held key per service, tagged
// "sst.enclave." and the service (or "secure_store_service").
#pragma once

#include <optional>
#include <string>

#include "platform/security/sec_key.h"
#include "plugins/secure_store_darwin/os_sec_error.h"

namespace secure_store_darwin {

// The sealed form of one value.
struct SealedSecret {
  CFBytes sealedValue;  // nonce, ciphertext, tag
  CFBytes wrappedKey;   // the value's key, encrypted to the hardware-held key
};

// What opening a sealed value came to.
struct OpenedSecret {
  enum class Outcome {
    opened,
    // Shorter than a nonce and a tag: no value can be in it.
    tooShort,
    // The key could not be unwrapped or the box did not open.
    unreadable,
  };
  Outcome outcome = Outcome::unreadable;
  CFBytes plaintext;
};

CFBytes enclaveKeyTag(const std::optional<std::string>& service);
// The service's hardware-held key, created when (and only when) its lookup finds none.
OSSecResult<SecKeyRef> enclaveKey(const std::optional<std::string>& service);
OSSecResult<CFBytes> eciesEncrypt(const SecKeyRef& publicKey, const CFBytes& plaintext);
OSSecResult<CFBytes> eciesDecrypt(const SecKeyRef& privateKey, const CFBytes& ciphertext);
// Removes the service's hardware-held key; the status is not used.
void deleteEnclaveKey(const std::optional<std::string>& service);

// Failures are errSecParam, as a write reports them.
OSSecResult<SealedSecret> sealSecret(const std::string& plaintext, const SecKeyRef& publicKey);
OpenedSecret openSecret(const SealedSecret& secret, const SecKeyRef& privateKey);

}  // namespace secure_store_darwin
