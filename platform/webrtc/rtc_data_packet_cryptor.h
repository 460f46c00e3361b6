// Encryption of single data packets with the keys of a key provider: AES-GCM under the key a
// participant (or, in shared-key mode, everyone) has at a key index, with a fresh IV per packet.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/webrtc/rtc_frame_crypto_key_provider.h"
#include "platform/webrtc/rtc_frame_cryptor.h"

// A sealed packet: ciphertext with its tag, the IV and the key index it was sealed under.
class RTCEncryptedPacket {
 public:
  RTCEncryptedPacket(std::vector<uint8_t> data, std::vector<uint8_t> iv, uint32_t keyIndex)
      : data_(std::move(data)), iv_(std::move(iv)), key_index_(keyIndex) {}

  const std::vector<uint8_t>& data() const { return data_; }
  const std::vector<uint8_t>& iv() const { return iv_; }
  uint32_t keyIndex() const { return key_index_; }

 private:
  std::vector<uint8_t> data_;
  std::vector<uint8_t> iv_;
  uint32_t key_index_;
};

class RTCDataPacketCryptor {
 public:
  // Null without a key provider.
  static std::shared_ptr<RTCDataPacketCryptor> initWithAlgorithm(
      RTCCryptorAlgorithm algorithm, std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider);
  // Use initWithAlgorithm; public only for make_shared.
  RTCDataPacketCryptor(RTCCryptorAlgorithm algorithm,
                       std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider);

  // Nullopt when there is no key at the index for the participant.
  std::optional<RTCEncryptedPacket> encrypt(const std::string& participantId, uint32_t keyIndex,
                                            const std::vector<uint8_t>& data) const;
  // Nullopt for a missing key or a packet that does not open under it.
  std::optional<std::vector<uint8_t>> decrypt(const std::string& participantId,
                                              const RTCEncryptedPacket& encryptedPacket) const;

 private:
  friend class RTCDataPacketCryptorControl;

  std::optional<std::vector<uint8_t>> keyFor(const std::string& participantId,
                                             uint32_t keyIndex) const;

  RTCCryptorAlgorithm algorithm_;
  std::shared_ptr<RTCFrameCryptorKeyProvider> key_provider_;
};
