// Data packet cryptors through the channel: the round trip, the argument checks in their two
// orders, failures that keep the cryptor, and disposal.
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

using Bytes = std::vector<uint8_t>;

class DataPacketCryptorTest : public WebRTCHostTest {
 protected:
  DataPacketCryptorTest() {
    auto reply = ok("frameCryptorFactoryCreateKeyProvider",
                    {{"keyProviderOptions", ValueMap{{"sharedKey", false},
                                                     {"ratchetSalt", Bytes{1, 2, 3}},
                                                     {"ratchetWindowSize", int32_t{0}},
                                                     {"keyDerivationAlgorithm", int32_t{1}}}}});
    provider = *reply.find("keyProviderId")->asString();
    ok("keyProviderSetKey", {{"keyProviderId", provider},
                             {"keyIndex", int32_t{2}},
                             {"key", Bytes(32, 0x42)},
                             {"participantId", "alice"}});
    auto created =
        ok("createDataPacketCryptor", {{"algorithm", int32_t{5}}, {"keyProviderId", provider}});
    cryptor = *created.find("dataCryptorId")->asString();
  }

  ValueMap encryptArguments() const {
    return {{"dataCryptorId", cryptor},
            {"data", Bytes{'h', 'e', 'l', 'l', 'o'}},
            {"participantId", "alice"},
            {"keyIndex", int32_t{2}}};
  }
  static ValueMap without(ValueMap arguments, const char* key) {
    ValueMap kept;
    for (const auto& [name, value] : arguments) {
      if (name != Value(key)) kept.set(name, value);
    }
    return kept;
  }

  std::string provider;
  std::string cryptor;
};

TEST_F(DataPacketCryptorTest, EncryptedPacketsDecryptWithTheSameParticipantIvAndIndex) {
  auto packet = ok("dataPacketCryptorEncrypt", encryptArguments());
  EXPECT_EQ(*packet.find("keyIndex"), Value(int32_t{2}));
  EXPECT_EQ(packet.find("iv")->get<Bytes>().size(), 12u);
  EXPECT_EQ(packet.find("data")->get<Bytes>().size(), 5u + 16u);
  ValueMap decrypt{{"dataCryptorId", cryptor},
                   {"data", *packet.find("data")},
                   {"iv", *packet.find("iv")},
                   {"keyIndex", *packet.find("keyIndex")},
                   {"participantId", "alice"}};
  EXPECT_EQ(ok("dataPacketCryptorDecrypt", decrypt),
            Value(ValueMap{{"data", Bytes{'h', 'e', 'l', 'l', 'o'}}}));

  // Another participant, index or IV, or a changed byte, gives nothing; the cryptor stays.
  const std::pair<const char*, Value> wrong[] = {
      {"participantId", "bob"}, {"keyIndex", int32_t{3}}, {"iv", Bytes(12, 0)}, {"iv", Bytes{1}}};
  for (const auto& [key, value] : wrong) {
    ValueMap changed = decrypt;
    changed.set(key, value);
    EXPECT_EQ(call("dataPacketCryptorDecrypt", changed).error,
              failed("dataPacketCryptorDecryptFailed", "Decrypt failed"))
        << key;
  }
  Bytes tampered = packet.find("data")->get<Bytes>();
  tampered.back() ^= 0x80;
  decrypt.set("data", tampered);
  EXPECT_EQ(call("dataPacketCryptorDecrypt", decrypt).error,
            failed("dataPacketCryptorDecryptFailed", "Decrypt failed"));

  ValueMap no_key = encryptArguments();
  no_key.set("keyIndex", int32_t{0});
  EXPECT_EQ(call("dataPacketCryptorEncrypt", no_key).error,
            failed("dataPacketCryptorEncryptFailed", "Encrypt failed"));
  EXPECT_TRUE(call("dataPacketCryptorEncrypt", encryptArguments()).isSuccess());
}

TEST_F(DataPacketCryptorTest, ArgumentsAreCheckedInEachMethodsOrder) {
  EXPECT_EQ(call("createDataPacketCryptor", {{"keyProviderId", provider}}).error,
            failed("createDataPacketCryptorFailed", "Invalid algorithm"));
  EXPECT_EQ(call("createDataPacketCryptor", {{"algorithm", int32_t{0}}}).error,
            failed("createDataPacketCryptorFailed", "Invalid keyProviderId"));
  EXPECT_EQ(
      call("createDataPacketCryptor", {{"algorithm", int32_t{0}}, {"keyProviderId", "gone"}}).error,
      failed("createDataPacketCryptorFailed", "Invalid keyProvider"));

  // Encryption checks every argument before the cryptor.
  ValueMap unknown = encryptArguments();
  unknown.set("dataCryptorId", "missing");
  const std::string encrypt = "dataPacketCryptorEncryptFailed";
  EXPECT_EQ(call("dataPacketCryptorEncrypt", without(unknown, "dataCryptorId")).error,
            failed(encrypt, "Invalid dataCryptorId"));
  EXPECT_EQ(call("dataPacketCryptorEncrypt", without(unknown, "data")).error,
            failed(encrypt, "Invalid data"));
  EXPECT_EQ(call("dataPacketCryptorEncrypt", without(unknown, "participantId")).error,
            failed(encrypt, "Invalid participantId"));
  EXPECT_EQ(call("dataPacketCryptorEncrypt", without(unknown, "keyIndex")).error,
            failed(encrypt, "Invalid keyIndex"));
  unknown.set("keyIndex", int32_t{-1});
  EXPECT_EQ(call("dataPacketCryptorEncrypt", unknown).error, failed(encrypt, "Invalid keyIndex"));
  unknown.set("keyIndex", int32_t{0});
  EXPECT_EQ(call("dataPacketCryptorEncrypt", unknown).error,
            failed(encrypt, "Invalid dataCryptor"));

  // Decryption looks the cryptor up right after its id.
  const std::string decrypt = "dataPacketCryptorDecryptFailed";
  EXPECT_EQ(call("dataPacketCryptorDecrypt").error, failed(decrypt, "Invalid dataCryptorId"));
  EXPECT_EQ(call("dataPacketCryptorDecrypt", {{"dataCryptorId", "missing"}}).error,
            failed(decrypt, "Invalid dataCryptor"));
  ValueMap full{{"dataCryptorId", cryptor},
                {"data", Bytes(20, 1)},
                {"iv", Bytes(12, 2)},
                {"keyIndex", int32_t{2}},
                {"participantId", "alice"}};
  for (const char* key : {"data", "iv", "keyIndex", "participantId"}) {
    EXPECT_EQ(call("dataPacketCryptorDecrypt", without(full, key)).error,
              failed(decrypt, std::string("Invalid ") + key));
  }
}

TEST_F(DataPacketCryptorTest, DisposeOnceAndUnknownNamesAreNotImplemented) {
  EXPECT_EQ(call("dataPacketCryptorDispose").error,
            failed("dataPacketCryptorDisposeFailed", "Invalid dataCryptorId"));
  EXPECT_TRUE(ok("dataPacketCryptorDispose", {{"dataCryptorId", cryptor}}).isNull());
  EXPECT_EQ(call("dataPacketCryptorDispose", {{"dataCryptorId", cryptor}}).error,
            failed("dataPacketCryptorDisposeFailed", "Invalid dataCryptor"));
  EXPECT_EQ(call("dataPacketCryptorEncrypt", encryptArguments()).error,
            failed("dataPacketCryptorEncryptFailed", "Invalid dataCryptor"));
  EXPECT_TRUE(call("dataPacketCryptorFlush").isNotImplemented());
  // Disposing of the provider leaves cryptors made with it working.
  auto again =
      ok("createDataPacketCryptor", {{"algorithm", int32_t{0}}, {"keyProviderId", provider}});
  ok("keyProviderDispose", {{"keyProviderId", provider}});
  ValueMap arguments = encryptArguments();
  arguments.set("dataCryptorId", *again.find("dataCryptorId"));
  EXPECT_TRUE(call("dataPacketCryptorEncrypt", arguments).isSuccess());
}

}  // namespace
}  // namespace webrtc_host::testing
