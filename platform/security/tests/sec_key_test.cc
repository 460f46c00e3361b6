// Random keys on the emulated hardware token, stored under their tag, and ECIES to them.
#include "platform/security/tests/keychain_fixture.h"

namespace {

using KeysTest = KeychainFixture;

CFDictionary tokenKeyParameters(const std::string& tag) {
  return {{kSecAttrKeyType, kSecAttrKeyTypeECSECPrimeRandom},
          {kSecAttrKeySizeInBits, int32_t{256}},
          {kSecAttrTokenID, kSecAttrTokenIDSecureEnclave},
          {kSecPrivateKeyAttrs,
           CFDictionary{{kSecAttrIsPermanent, true},
                        {kSecAttrApplicationTag, CFBytes(tag.begin(), tag.end())}}}};
}

SecKeyRef findKey(const std::string& tag, OSStatus* status) {
  CFValue result;
  *status = SecItemCopyMatching({{kSecClass, kSecClassKey},
                                 {kSecAttrKeyType, kSecAttrKeyTypeECSECPrimeRandom},
                                 {kSecAttrApplicationTag, CFBytes(tag.begin(), tag.end())},
                                 {kSecReturnRef, true}},
                                &result);
  return result.asKey();
}

TEST_F(KeysTest, APermanentKeyIsFoundUnderItsTagAndDecryptsWhatItsPublicKeyEncrypted) {
  CFErrorRef error;
  SecKeyRef created = SecKeyCreateRandomKey(tokenKeyParameters("tag.one"), &error);
  ASSERT_NE(created, nullptr);
  OSStatus status;
  SecKeyRef found = findKey("tag.one", &status);
  ASSERT_EQ(status, errSecSuccess);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(findKey("tag.two", &status), nullptr);
  EXPECT_EQ(status, errSecItemNotFound);

  SecKeyRef public_key = SecKeyCopyPublicKey(created);
  const auto& algorithm = kSecKeyAlgorithmECIESEncryptionCofactorX963SHA256AESGCM;
  EXPECT_TRUE(SecKeyIsAlgorithmSupported(public_key, kSecKeyOperationTypeEncrypt, algorithm));
  EXPECT_FALSE(SecKeyIsAlgorithmSupported(public_key, kSecKeyOperationTypeDecrypt, algorithm));
  EXPECT_FALSE(SecKeyIsAlgorithmSupported(found, kSecKeyOperationTypeDecrypt, "other"));

  auto ciphertext = SecKeyCreateEncryptedData(public_key, algorithm, bytes("wrapped key"), &error);
  ASSERT_TRUE(ciphertext.has_value());
  EXPECT_NE(SecKeyCreateEncryptedData(public_key, algorithm, bytes("wrapped key"), &error),
            ciphertext);
  EXPECT_EQ(SecKeyCreateDecryptedData(found, algorithm, *ciphertext, &error), bytes("wrapped key"));

  for (size_t index : {size_t{1}, size_t{70}, ciphertext->size() - 1}) {
    auto tampered = *ciphertext;
    tampered[index] ^= 0x01;
    error = nullptr;
    EXPECT_EQ(SecKeyCreateDecryptedData(found, algorithm, tampered, &error), std::nullopt) << index;
    EXPECT_NE(error, nullptr);
  }
  EXPECT_EQ(SecKeyCreateDecryptedData(found, algorithm, CFBytes(10), &error), std::nullopt);
  SecKeyRef other = SecKeyCreateRandomKey(tokenKeyParameters("tag.other"), &error);
  EXPECT_EQ(SecKeyCreateDecryptedData(other, algorithm, *ciphertext, &error), std::nullopt);
}

TEST_F(KeysTest, WithoutTheTokenOrWithBadParametersNoKeyIsMade) {
  security::testing::setHardwareTokenAvailable(false);
  CFErrorRef error;
  EXPECT_EQ(SecKeyCreateRandomKey(tokenKeyParameters("tag"), &error), nullptr);
  EXPECT_EQ(CFErrorGetCode(error), errSecNotAvailable);
  OSStatus status;
  findKey("tag", &status);
  EXPECT_EQ(status, errSecItemNotFound);

  security::testing::setHardwareTokenAvailable(true);
  auto parameters = tokenKeyParameters("tag");
  parameters.set(kSecAttrKeySizeInBits, int32_t{384});
  EXPECT_EQ(SecKeyCreateRandomKey(parameters, &error), nullptr);
  EXPECT_EQ(CFErrorGetCode(error), errSecParam);
  // Keys are made, not added.
  EXPECT_EQ(SecItemAdd({{kSecClass, kSecClassKey}, {kSecValueData, CFBytes(97)}}, nullptr),
            errSecParam);
}

}  // namespace
