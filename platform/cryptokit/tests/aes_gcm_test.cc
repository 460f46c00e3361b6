// AES-GCM sealing and opening, and its failures on tampering, wrong keys and bad sizes.
#include "platform/cryptokit/aes_gcm.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

TEST(AesGcmTest, RoundTripsWithFreshNoncesAndTheCombinedLayout) {
  SymmetricKey key(SymmetricKeySize::bits256);
  auto first = AES::GCM::seal(bytesOf("secret"), key);
  auto second = AES::GCM::seal(bytesOf("secret"), key);
  ASSERT_TRUE(first.ok());
  ASSERT_TRUE(second.ok());
  EXPECT_NE(first.value().combined(), second.value().combined());

  auto combined = first.value().combined();
  ASSERT_EQ(combined.size(), 12u + 6u + 16u);
  auto rebuilt = AES::GCM::SealedBox::withCombined(combined);
  ASSERT_TRUE(rebuilt.ok());
  auto opened = AES::GCM::open(rebuilt.value(), key);
  ASSERT_TRUE(opened.ok());
  EXPECT_EQ(opened.value(), bytesOf("secret"));

  auto empty = AES::GCM::seal({}, key);
  ASSERT_TRUE(empty.ok());
  EXPECT_EQ(empty.value().combined().size(), 28u);
  EXPECT_TRUE(AES::GCM::open(empty.value(), key).value().empty());
}

TEST(AesGcmTest, AnyChangeOrAnotherKeyFailsToOpen) {
  SymmetricKey key(SymmetricKeySize::bits256);
  auto combined = AES::GCM::seal(bytesOf("payload"), key).value().combined();
  for (size_t index : {size_t{0}, size_t{12}, combined.size() - 1}) {  // nonce, ciphertext, tag
    auto tampered = combined;
    tampered[index] ^= 0x01;
    auto opened = AES::GCM::open(AES::GCM::SealedBox::withCombined(tampered).value(), key);
    ASSERT_FALSE(opened.ok()) << index;
    EXPECT_EQ(opened.error(), CryptoKitError::authenticationFailure);
  }
  auto box = AES::GCM::SealedBox::withCombined(combined).value();
  EXPECT_EQ(AES::GCM::open(box, SymmetricKey(SymmetricKeySize::bits256)).error(),
            CryptoKitError::authenticationFailure);
}

TEST(AesGcmTest, RejectsBadSizes) {
  std::vector<uint8_t> short_key(20, 1);
  EXPECT_EQ(AES::GCM::seal(bytesOf("x"), SymmetricKey(short_key)).error(),
            CryptoKitError::incorrectKeySize);
  EXPECT_EQ(AES::GCM::SealedBox::withCombined(std::vector<uint8_t>(27)).error(),
            CryptoKitError::incorrectParameterSize);
  EXPECT_EQ(AES::GCM::Nonce::withData(std::vector<uint8_t>(16)).error(),
            CryptoKitError::incorrectParameterSize);
  EXPECT_EQ(AES::GCM::SealedBox::withParts(AES::GCM::Nonce(), {}, std::vector<uint8_t>(15)).error(),
            CryptoKitError::incorrectParameterSize);
  EXPECT_TRUE(AES::GCM::seal(bytesOf("x"), SymmetricKey(SymmetricKeySize::bits128)).ok());
}

}  // namespace
