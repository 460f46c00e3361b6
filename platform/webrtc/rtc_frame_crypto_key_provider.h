// A key store for frame and data packet cryptors: key rings of key material, one shared ring or
// one ring per participant, with ratcheting. Indexes run from 0 to keyRingSize() - 1; calls with
// an index outside the ring, or with empty key material, change nothing.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/dispatch_queue.h"

enum RTCKeyDerivationAlgorithm : int {
  RTCKeyDerivationAlgorithmPBKDF2 = 0,
  RTCKeyDerivationAlgorithmHKDF = 1,
};

class RTCFrameCryptorKeyProvider {
 public:
  using Bytes = std::vector<uint8_t>;

  static constexpr int kDefaultKeyRingSize = 16;
  static constexpr int kMaxKeyRingSize = 256;
  // Each ratchet step is a key derivation; a frame that opens with none may cost the whole window.
  static constexpr int kMaxRatchetWindowSize = 16;
  // A ratchet that keeps losing the race with frames that ratchet the same key gives up.
  static constexpr int kMaxRatchetAttempts = 4;

  // A ring size of 0 or less selects the default; larger than kMaxKeyRingSize is capped. A
  // ratchet window below 0 is 0, above kMaxRatchetWindowSize is capped.
  static std::shared_ptr<RTCFrameCryptorKeyProvider> initWithRatchetSalt(
      Bytes ratchetSalt, int ratchetWindowSize, bool sharedKeyMode,
      std::optional<Bytes> uncryptedMagicBytes, int failureTolerance, int keyRingSize,
      bool discardFrameWhenCryptorNotReady, RTCKeyDerivationAlgorithm keyDerivationAlgorithm);

  RTCFrameCryptorKeyProvider(Bytes ratchetSalt, int ratchetWindowSize, bool sharedKeyMode,
                             std::optional<Bytes> uncryptedMagicBytes, int failureTolerance,
                             int keyRingSize, bool discardFrameWhenCryptorNotReady,
                             RTCKeyDerivationAlgorithm keyDerivationAlgorithm);
  RTCFrameCryptorKeyProvider(const RTCFrameCryptorKeyProvider&) = delete;
  RTCFrameCryptorKeyProvider& operator=(const RTCFrameCryptorKeyProvider&) = delete;

  int keyRingSize() const { return key_ring_size_; }
  // Derivations on a caller's behalf are slow (PBKDF2); they run here, one at a time, in call order.
  const dispatch_queue_t& derivationQueue() const { return derivation_queue_; }

  bool setSharedKey(const Bytes& key, int index);
  // The new key material, or nothing when there is no key at the index.
  Bytes ratchetSharedKey(int index);
  // The key material, or nothing when there is no key at the index.
  Bytes exportSharedKey(int index) const;

  bool setKey(const Bytes& key, int index, const std::string& participantId);
  Bytes ratchetKey(const std::string& participantId, int index);
  Bytes exportKey(const std::string& participantId, int index) const;

  // Frames that end with these bytes come from a server, not a participant.
  void setSifTrailer(Bytes trailer);

 private:
  friend class RTCFrameCryptor;
  friend class RTCDataPacketCryptor;
  friend class RTCFrameCryptoKeyProviderControl;

  struct Key {
    Bytes material;
    Bytes aesKey;
  };
  using KeyRing = std::map<int, Key>;

  bool validIndex(int index) const { return index >= 0 && index < key_ring_size_; }
  Key makeKey(Bytes material) const;
  // The ring that serves a participant: the shared one in shared-key mode.
  KeyRing& ringFor(const std::string& participantId);
  const KeyRing* findRing(const std::string& participantId) const;
  bool store(KeyRing& ring, const Bytes& material, int index);
  Bytes ratchet(KeyRing& ring, int index);

  // For cryptors: the AES key at the index, if there is one.
  std::optional<Bytes> aesKeyFor(const std::string& participantId, int index) const;
  // The AES keys of the next `ratchetWindowSize` ratchet steps from the index's key.
  std::vector<Key> ratchetCandidates(const std::string& participantId, int index) const;
  // Replaces the key at the index with one found by ratcheting.
  void commitRatchetedKey(const std::string& participantId, int index, Key key);

  const Bytes ratchet_salt_;
  const int ratchet_window_size_;
  const bool shared_key_mode_;
  const std::optional<Bytes> uncrypted_magic_bytes_;
  const int failure_tolerance_;
  const int key_ring_size_;
  const bool discard_frame_when_cryptor_not_ready_;
  const RTCKeyDerivationAlgorithm key_derivation_algorithm_;
  const dispatch_queue_t derivation_queue_ =
      dispatch_queue_create("webrtc.keyProvider.derivation", DISPATCH_QUEUE_SERIAL);

  mutable std::mutex mutex_;
  KeyRing shared_keys_;
  std::map<std::string, KeyRing> participant_keys_;
  Bytes sif_trailer_;
};
