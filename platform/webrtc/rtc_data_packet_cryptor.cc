#include "platform/webrtc/rtc_data_packet_cryptor.h"

#include "platform/webrtc/rtc_frame_cryptor_cipher.h"

std::shared_ptr<RTCDataPacketCryptor> RTCDataPacketCryptor::initWithAlgorithm(
    RTCCryptorAlgorithm algorithm, std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider) {
  if (!keyProvider) return nullptr;
  return std::make_shared<RTCDataPacketCryptor>(algorithm, std::move(keyProvider));
}

RTCDataPacketCryptor::RTCDataPacketCryptor(RTCCryptorAlgorithm algorithm,
                                           std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider)
    : algorithm_(algorithm), key_provider_(std::move(keyProvider)) {}

std::optional<std::vector<uint8_t>> RTCDataPacketCryptor::keyFor(const std::string& participantId,
                                                                 uint32_t keyIndex) const {
  if (keyIndex >= static_cast<uint32_t>(key_provider_->keyRingSize())) return std::nullopt;
  return key_provider_->aesKeyFor(participantId, static_cast<int>(keyIndex));
}

std::optional<RTCEncryptedPacket> RTCDataPacketCryptor::encrypt(
    const std::string& participantId, uint32_t keyIndex, const std::vector<uint8_t>& data) const {
  auto key = keyFor(participantId, keyIndex);
  if (!key) return std::nullopt;
  auto iv = webrtc_model::randomIv();
  auto sealed = webrtc_model::sealAesGcm(*key, iv, data);
  if (!sealed) return std::nullopt;
  return RTCEncryptedPacket(std::move(*sealed), std::move(iv), keyIndex);
}

std::optional<std::vector<uint8_t>> RTCDataPacketCryptor::decrypt(
    const std::string& participantId, const RTCEncryptedPacket& encryptedPacket) const {
  auto key = keyFor(participantId, encryptedPacket.keyIndex());
  if (!key) return std::nullopt;
  return webrtc_model::openAesGcm(*key, encryptedPacket.iv(), encryptedPacket.data());
}
