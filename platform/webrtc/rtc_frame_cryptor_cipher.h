// The cryptography behind frame cryptors, key providers and data packet cryptors, over OpenSSL:
// AES-128-GCM with 96-bit IVs and 128-bit tags, key derivation from key material and key
// ratcheting. The scheme is fixed once; docs/frame_encryption.md describes it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace webrtc_model {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kFrameCryptoKeySize = 16;
inline constexpr size_t kFrameCryptoIvSize = 12;
inline constexpr size_t kFrameCryptoTagSize = 16;

// 0: PBKDF2-HMAC-SHA256 over the material with the ratchet salt; 1: HKDF-SHA256.
Bytes deriveFrameKey(const Bytes& material, const Bytes& salt, int keyDerivationAlgorithm);
// The next key material: HMAC-SHA256 keyed with the current material over the salt.
Bytes ratchetMaterial(const Bytes& material, const Bytes& salt);

Bytes randomIv();
// Ciphertext followed by the tag; nullopt only when OpenSSL fails.
std::optional<Bytes> sealAesGcm(const Bytes& key, const Bytes& iv, const Bytes& plaintext);
// Nullopt when the tag does not match (wrong key, IV or data) or the input is malformed.
std::optional<Bytes> openAesGcm(const Bytes& key, const Bytes& iv, const Bytes& sealed);

}  // namespace webrtc_model
