// The data packet model: sealed packets open only with their participant's key, IV and index.
#include <gtest/gtest.h>

#include "platform/webrtc/rtc_data_packet_cryptor.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(DataPacketCryptorModelTest, PacketsOpenOnlyUnderTheirOwnKey) {
  auto keys = RTCFrameCryptorKeyProvider::initWithRatchetSalt(
      Bytes{7}, 0, true, std::nullopt, -1, 4, false, RTCKeyDerivationAlgorithmHKDF);
  ASSERT_TRUE(keys->setSharedKey(Bytes(16, 1), 1));
  ASSERT_TRUE(keys->setSharedKey(Bytes(16, 2), 2));
  auto cryptor = RTCDataPacketCryptor::initWithAlgorithm(RTCCryptorAlgorithmAesGcm, keys);
  EXPECT_EQ(RTCDataPacketCryptor::initWithAlgorithm(RTCCryptorAlgorithmAesGcm, nullptr), nullptr);

  const Bytes message{'p', 'i', 'n', 'g'};
  auto packet = cryptor->encrypt("anyone", 1, message);
  ASSERT_TRUE(packet.has_value());
  EXPECT_EQ(cryptor->decrypt("someone else", *packet), message);
  EXPECT_EQ(cryptor->decrypt("x", RTCEncryptedPacket(packet->data(), packet->iv(), 2)),
            std::nullopt);
  EXPECT_EQ(cryptor->encrypt("x", 3, message), std::nullopt);
  EXPECT_EQ(cryptor->encrypt("x", 0xffffffffu, message), std::nullopt);
  EXPECT_EQ(cryptor->decrypt("x", RTCEncryptedPacket(Bytes{1}, packet->iv(), 1)), std::nullopt);
  auto empty = cryptor->encrypt("x", 2, Bytes{});
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(cryptor->decrypt("x", *empty), Bytes{});
}

}  // namespace
