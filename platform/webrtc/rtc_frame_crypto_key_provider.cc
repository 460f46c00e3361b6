#include "platform/webrtc/rtc_frame_crypto_key_provider.h"

#include <algorithm>

#include "platform/webrtc/rtc_frame_cryptor_cipher.h"

namespace {

int effectiveRingSize(int requested) {
  if (requested <= 0) return RTCFrameCryptorKeyProvider::kDefaultKeyRingSize;
  return std::min(requested, RTCFrameCryptorKeyProvider::kMaxKeyRingSize);
}

}  // namespace

std::shared_ptr<RTCFrameCryptorKeyProvider> RTCFrameCryptorKeyProvider::initWithRatchetSalt(
    Bytes ratchetSalt, int ratchetWindowSize, bool sharedKeyMode,
    std::optional<Bytes> uncryptedMagicBytes, int failureTolerance, int keyRingSize,
    bool discardFrameWhenCryptorNotReady, RTCKeyDerivationAlgorithm keyDerivationAlgorithm) {
  return std::make_shared<RTCFrameCryptorKeyProvider>(
      std::move(ratchetSalt), ratchetWindowSize, sharedKeyMode, std::move(uncryptedMagicBytes),
      failureTolerance, keyRingSize, discardFrameWhenCryptorNotReady, keyDerivationAlgorithm);
}

RTCFrameCryptorKeyProvider::RTCFrameCryptorKeyProvider(
    Bytes ratchetSalt, int ratchetWindowSize, bool sharedKeyMode,
    std::optional<Bytes> uncryptedMagicBytes, int failureTolerance, int keyRingSize,
    bool discardFrameWhenCryptorNotReady, RTCKeyDerivationAlgorithm keyDerivationAlgorithm)
    : ratchet_salt_(std::move(ratchetSalt)),
      ratchet_window_size_(std::clamp(ratchetWindowSize, 0, kMaxRatchetWindowSize)),
      shared_key_mode_(sharedKeyMode),
      uncrypted_magic_bytes_(std::move(uncryptedMagicBytes)),
      failure_tolerance_(failureTolerance),
      key_ring_size_(effectiveRingSize(keyRingSize)),
      discard_frame_when_cryptor_not_ready_(discardFrameWhenCryptorNotReady),
      key_derivation_algorithm_(keyDerivationAlgorithm) {}

RTCFrameCryptorKeyProvider::Key RTCFrameCryptorKeyProvider::makeKey(Bytes material) const {
  Bytes aes_key = webrtc_model::deriveFrameKey(material, ratchet_salt_, key_derivation_algorithm_);
  return Key{std::move(material), std::move(aes_key)};
}

RTCFrameCryptorKeyProvider::KeyRing& RTCFrameCryptorKeyProvider::ringFor(
    const std::string& participantId) {
  return shared_key_mode_ ? shared_keys_ : participant_keys_[participantId];
}

const RTCFrameCryptorKeyProvider::KeyRing* RTCFrameCryptorKeyProvider::findRing(
    const std::string& participantId) const {
  if (shared_key_mode_) return &shared_keys_;
  auto found = participant_keys_.find(participantId);
  return found == participant_keys_.end() ? nullptr : &found->second;
}

// Derivations run outside the lock, so the frame path waits for none of them; it sees the old key
// or the new one, each swapped in whole under the lock.
bool RTCFrameCryptorKeyProvider::store(KeyRing& ring, const Bytes& material, int index) {
  if (!validIndex(index) || material.empty()) return false;
  Key key = makeKey(material);
  if (key.aesKey.empty()) return false;
  std::lock_guard lock(mutex_);
  ring[index] = std::move(key);
  return true;
}

RTCFrameCryptorKeyProvider::Bytes RTCFrameCryptorKeyProvider::ratchet(KeyRing& ring, int index) {
  // A frame may ratchet the same key meanwhile; then start again from the key it left.
  for (int attempt = 0; attempt < kMaxRatchetAttempts; ++attempt) {
    Bytes current;
    {
      std::lock_guard lock(mutex_);
      auto found = ring.find(index);
      if (found == ring.end()) return Bytes();
      current = found->second.material;
    }
    Key next = makeKey(webrtc_model::ratchetMaterial(current, ratchet_salt_));
    if (next.material.empty() || next.aesKey.empty()) return Bytes();
    std::lock_guard lock(mutex_);
    auto found = ring.find(index);
    if (found == ring.end()) return Bytes();
    if (found->second.material != current) continue;
    found->second = std::move(next);
    return found->second.material;
  }
  return Bytes();
}

bool RTCFrameCryptorKeyProvider::setSharedKey(const Bytes& key, int index) {
  return store(shared_keys_, key, index);
}

RTCFrameCryptorKeyProvider::Bytes RTCFrameCryptorKeyProvider::ratchetSharedKey(int index) {
  return ratchet(shared_keys_, index);
}

RTCFrameCryptorKeyProvider::Bytes RTCFrameCryptorKeyProvider::exportSharedKey(int index) const {
  std::lock_guard lock(mutex_);
  auto found = shared_keys_.find(index);
  return found == shared_keys_.end() ? Bytes() : found->second.material;
}

bool RTCFrameCryptorKeyProvider::setKey(const Bytes& key, int index,
                                        const std::string& participantId) {
  if (!validIndex(index) || key.empty()) return false;
  KeyRing* ring = nullptr;
  {
    std::lock_guard lock(mutex_);
    ring = &participant_keys_[participantId];  // map nodes stay put; rings are never erased
  }
  return store(*ring, key, index);
}

RTCFrameCryptorKeyProvider::Bytes RTCFrameCryptorKeyProvider::ratchetKey(
    const std::string& participantId, int index) {
  KeyRing* ring = nullptr;
  {
    std::lock_guard lock(mutex_);
    auto found = participant_keys_.find(participantId);
    if (found == participant_keys_.end()) return Bytes();
    ring = &found->second;  // map nodes stay put; rings are never erased
  }
  return ratchet(*ring, index);
}

RTCFrameCryptorKeyProvider::Bytes RTCFrameCryptorKeyProvider::exportKey(
    const std::string& participantId, int index) const {
  std::lock_guard lock(mutex_);
  auto ring = participant_keys_.find(participantId);
  if (ring == participant_keys_.end()) return Bytes();
  auto found = ring->second.find(index);
  return found == ring->second.end() ? Bytes() : found->second.material;
}

void RTCFrameCryptorKeyProvider::setSifTrailer(Bytes trailer) {
  std::lock_guard lock(mutex_);
  sif_trailer_ = std::move(trailer);
}

std::optional<RTCFrameCryptorKeyProvider::Bytes> RTCFrameCryptorKeyProvider::aesKeyFor(
    const std::string& participantId, int index) const {
  std::lock_guard lock(mutex_);
  const KeyRing* ring = findRing(participantId);
  if (ring == nullptr) return std::nullopt;
  auto found = ring->find(index);
  if (found == ring->end()) return std::nullopt;
  return found->second.aesKey;
}

std::vector<RTCFrameCryptorKeyProvider::Key> RTCFrameCryptorKeyProvider::ratchetCandidates(
    const std::string& participantId, int index) const {
  Bytes material;
  {
    std::lock_guard lock(mutex_);
    const KeyRing* ring = findRing(participantId);
    if (ring == nullptr) return {};
    auto found = ring->find(index);
    if (found == ring->end()) return {};
    material = found->second.material;
  }
  // Derivation is slow on purpose; it runs outside the lock.
  std::vector<Key> candidates;
  for (int step = 0; step < ratchet_window_size_; ++step) {
    material = webrtc_model::ratchetMaterial(material, ratchet_salt_);
    candidates.push_back(makeKey(material));
  }
  return candidates;
}

void RTCFrameCryptorKeyProvider::commitRatchetedKey(const std::string& participantId, int index,
                                                    Key key) {
  std::lock_guard lock(mutex_);
  if (validIndex(index)) ringFor(participantId)[index] = std::move(key);
}
