#include "platform/cryptokit/symmetric_key.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <cstdio>
#include <cstdlib>

namespace {

// A key is never handed out with predictable bytes: without randomness there is nothing safe
// to answer, so the process stops.
void fillRandom(std::span<uint8_t> bytes) {
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
    std::fputs("CryptoKit: the random generator failed\n", stderr);
    std::abort();
  }
}

}  // namespace

SymmetricKey::SymmetricKey(SymmetricKeySize size) : bytes_(static_cast<size_t>(size) / 8) {
  fillRandom(bytes_);
}

SymmetricKey::SymmetricKey(std::span<const uint8_t> data) : bytes_(data.begin(), data.end()) {}

SymmetricKey::~SymmetricKey() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }
