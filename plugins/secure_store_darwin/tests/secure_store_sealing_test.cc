// Values sealed under a hardware-held key, through the channel.
#include <thread>
#include <vector>

#include "plugins/secure_store_darwin/secure_enclave_sealing.h"
#include "plugins/secure_store_darwin/tests/secure_store_fixture.h"

namespace {

using SealingTest = SecureStoreFixture;

CFArray enclaveKeys() {
  CFValue result;
  if (SecItemCopyMatching({{kSecClass, kSecClassKey},
                           {kSecMatchLimit, kSecMatchLimitAll},
                           {kSecReturnAttributes, true}},
                          &result) != errSecSuccess) {
    return {};
  }
  return *result.asArray();
}

CFBytes tagOf(const CFValue& key) {
  return *key.asDictionary()->find(kSecAttrApplicationTag)->asData();
}

TEST_F(SealingTest, SealedValuesRoundTripWithFreshBytesUnderOneKeyPerService) {
  ASSERT_TRUE(write("k", "secret", sealed()).isSuccess());
  CFBytes first = storedData("k");
  ASSERT_TRUE(write("k", "secret", sealed()).isSuccess());
  CFBytes second = storedData("k");
  EXPECT_NE(first, second);
  EXPECT_EQ(second.size(), 12u + 6u + 16u);
  EXPECT_EQ(read("k", sealed()).value, Value("secret"));
  EXPECT_FALSE(storedData("sst.wrapped.k").empty());

  ASSERT_TRUE(write("k", "other", sealed({{Value("accountName"), Value("svc")}})).isSuccess());
  auto keys = enclaveKeys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(tagOf(keys[0]), bytes("sst.enclave.secure_store_service"));
  EXPECT_EQ(tagOf(keys[1]), bytes("sst.enclave.svc"));
  EXPECT_EQ(*keys[0].asDictionary()->find(kSecAttrTokenID), CFValue(kSecAttrTokenIDSecureEnclave));

  // An empty value seals to exactly a nonce and a tag, and opens to the empty string.
  ASSERT_TRUE(write("empty", "", sealed()).isSuccess());
  EXPECT_EQ(storedData("empty").size(), 28u);
  EXPECT_EQ(read("empty", sealed()).value, Value(""));
}

TEST_F(SealingTest, ShortTamperedOrUnwrappableDataGivesNoValue) {
  ASSERT_TRUE(write("k", "secret", sealed()).isSuccess());
  CFBytes good = storedData("k");

  ASSERT_EQ(replaceStoredData("k", CFBytes(good.begin(), good.begin() + 27)), errSecSuccess);
  auto too_short = read("k", sealed());
  ASSERT_TRUE(too_short.isError());
  EXPECT_EQ(too_short.error.details, Value(int32_t{errSecDecode}));

  // A tampered box does not open; the bytes are then read as they are, and are no text.
  CFBytes tampered = good;
  tampered[0] = 0xFF;
  tampered[14] ^= 0x01;
  ASSERT_EQ(replaceStoredData("k", tampered), errSecSuccess);
  auto unreadable = read("k", sealed());
  ASSERT_TRUE(unreadable.isSuccess());
  EXPECT_TRUE(unreadable.value.isNull());

  ASSERT_EQ(replaceStoredData("k", good), errSecSuccess);
  EXPECT_EQ(read("k", sealed()).value, Value("secret"));
  ASSERT_EQ(SecItemDelete({{kSecClass, kSecClassGenericPassword},
                           {kSecAttrAccount, "sst.wrapped.k"},
                           {kSecUseDataProtectionKeychain, true}}),
            errSecSuccess);
  auto unwrapped = read("k", sealed());
  ASSERT_TRUE(unwrapped.isSuccess());
  EXPECT_TRUE(unwrapped.value.isNull());

  // Values stored before sealing was asked for still read.
  ASSERT_TRUE(write("plain", "text").isSuccess());
  ASSERT_TRUE(write("sst.wrapped.plain", "not a key").isSuccess());
  EXPECT_EQ(read("plain", sealed()).value, Value("text"));
}

TEST_F(SealingTest, WithoutTheHardwareTokenOrItsKeyNothingIsWritten) {
  security::testing::setHardwareTokenAvailable(false);
  auto failed = write("k", "secret", sealed());
  ASSERT_TRUE(failed.isError());
  EXPECT_EQ(failed.error.details, Value(int32_t{errSecParam}));
  EXPECT_TRUE(storedItems().empty());
  security::testing::setHardwareTokenAvailable(true);

  ASSERT_TRUE(write("k", "secret", sealed()).isSuccess());
  // A lookup that fails for another reason than "not found" must not make a second key.
  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecInteractionNotAllowed);
  EXPECT_TRUE(write("k", "new", sealed()).isError());
  EXPECT_EQ(enclaveKeys().size(), 1u);
  EXPECT_EQ(read("k", sealed()).value, Value("secret"));

  // A keychain that cannot be opened fails the key step first.
  security::testing::setKeychainDirectory(root_ + "/not-a-keychain");
  std::filesystem::create_directories(root_ + "/not-a-keychain/keychain.db");
  EXPECT_EQ(write("k", "new", sealed()).error.details, Value(int32_t{errSecParam}));
  EXPECT_EQ(write("k", "new").error.details, Value(int32_t{errSecNotAvailable}));
  security::testing::setKeychainDirectory(root_ + "/keychain");

  // Older systems have no hardware-held keys: values are stored as they are.
  foundation::testing::setEmulatedOperatingSystemVersion({10, 14, 0});
  ASSERT_TRUE(write("old", "plain", sealed()).isSuccess());
  EXPECT_EQ(storedData("old", false), bytes("plain"));
  EXPECT_EQ(read("old", sealed()).value, Value("plain"));
}

TEST_F(SealingTest, AFailedSealedWriteKeepsTheOldValueReadable) {
  ASSERT_TRUE(write("k", "old", sealed()).isSuccess());
  // The wrapped key's update succeeds, the value's fails.
  security::testing::failNextCall(SecFunction::itemUpdate, errSecNotAvailable, 1);
  EXPECT_TRUE(write("k", "new", sealed()).isError());
  EXPECT_EQ(read("k", sealed()).value, Value("old"));

  // A first write whose value cannot be added leaves no wrapped key behind.
  security::testing::failNextCall(SecFunction::itemAdd, errSecNotAvailable, 1);
  EXPECT_TRUE(write("fresh", "value", sealed()).isError());
  EXPECT_TRUE(storedItems({{kSecAttrAccount, "sst.wrapped.fresh"}}).empty());
  EXPECT_TRUE(storedItems({{kSecAttrAccount, "fresh"}}).empty());
}

TEST_F(SealingTest, ASealedWriteIsWholeOrNotAtAll) {
  ASSERT_TRUE(write("k", "old", sealed()).isSuccess());
  // The value's update fails, and so would any later attempt to put the old wrapped key back.
  security::testing::failNextCall(SecFunction::itemUpdate, errSecIO, 1);
  security::testing::failNextCall(SecFunction::itemUpdate, errSecIO, 2);
  EXPECT_TRUE(write("k", "new", sealed()).isError());
  EXPECT_EQ(read("k", sealed()).value, Value("old"));
}

TEST_F(SealingTest, RacingFirstWritesEndWithOneHardwareKeyPerService) {
  constexpr int kServices = 12;
  constexpr int kRacers = 4;
  for (int service = 0; service < kServices; ++service) {
    std::vector<std::thread> racers;
    for (int racer = 0; racer < kRacers; ++racer) {
      racers.emplace_back([service] {
        EXPECT_TRUE(secure_store_darwin::enclaveKey("svc" + std::to_string(service)).ok());
      });
    }
    for (auto& racer : racers) racer.join();
  }
  EXPECT_EQ(enclaveKeys().size(), static_cast<size_t>(kServices));
}

TEST_F(SealingTest, SealedWritesReplaceTheAttributesOfAnExistingKey) {
  ASSERT_TRUE(write("k", "1", sealed({{Value("accessibility"), Value("unlocked")}})).isSuccess());
  auto replaced = write(
      "k", "2",
      sealed({{Value("accessibility"), Value("first_unlock")}, {Value("label"), Value("new")}}));
  ASSERT_TRUE(replaced.isSuccess()) << replaced.describe();
  auto items = storedItems({{kSecAttrAccount, "k"}});
  ASSERT_EQ(items.size(), 1u);
  const CFDictionary& item = *items[0].asDictionary();
  EXPECT_EQ(*item.find(kSecAttrLabel), CFValue("new"));
  EXPECT_EQ(item.find(kSecAttrAccessControl)->asAccessControl()->protection(),
            kSecAttrAccessibleAfterFirstUnlock);
  EXPECT_EQ(read("k", sealed({{Value("accessibility"), Value("first_unlock")}})).value, Value("2"));
}

TEST_F(SealingTest, SealedDeletionsReachSynchronizedItemsToo) {
  ASSERT_TRUE(write("synced", "1", {{Value("synchronizable"), Value("true")}}).isSuccess());
  ASSERT_TRUE(write("local", "2", sealed()).isSuccess());
  ASSERT_TRUE(call("delete", arguments("synced", sealed())).isSuccess());
  EXPECT_TRUE(storedItems({{kSecAttrAccount, "synced"}}).empty());

  ASSERT_TRUE(write("synced", "1", {{Value("synchronizable"), Value("true")}}).isSuccess());
  ASSERT_TRUE(call("deleteAll", arguments(std::nullopt, sealed())).isSuccess());
  EXPECT_TRUE(storedItems().empty());
  EXPECT_TRUE(enclaveKeys().empty());
}

TEST_F(SealingTest, WithAnAccessibilitySealedValuesAskForTheUserOncePerCall) {
  auto options = sealed({{Value("accessibility"), Value("unlocked")}});
  ASSERT_TRUE(write("k", "secret", options).isSuccess());
  EXPECT_EQ(localauthentication::testing::promptCount(), 0);

  EXPECT_EQ(read("k", options).value, Value("secret"));
  EXPECT_EQ(localauthentication::testing::promptCount(), 1);
  localauthentication::testing::setAuthenticatorAnswer(
      localauthentication::testing::AuthenticatorAnswer::cancel);
  EXPECT_EQ(read("k", options).error.details, Value(int32_t{errSecUserCanceled}));
}

TEST_F(SealingTest, ListingsSkipWrappedKeysAndDeletionsTakeThemAlong) {
  ASSERT_TRUE(write("a", "1", sealed()).isSuccess());
  ASSERT_TRUE(write("sst.wrapped", "2").isSuccess());
  EXPECT_EQ(call("readAll", arguments(std::nullopt, sealed())).value,
            Value(ValueMap{{Value("a"), Value("1")}, {Value("sst.wrapped"), Value("2")}}));

  ASSERT_TRUE(call("delete", arguments("a", sealed())).isSuccess());
  EXPECT_TRUE(storedItems({{kSecAttrAccount, "sst.wrapped.a"}}).empty());
}

TEST_F(SealingTest, DeleteAllRemovesTheKeyOnlyAfterTheItems) {
  ASSERT_TRUE(write("a", "1", sealed()).isSuccess());
  // Sealed items carry no synchronizable attribute: both passes address them, and both fail.
  security::testing::failNextCall(SecFunction::itemDelete, errSecNotAvailable);
  security::testing::failNextCall(SecFunction::itemDelete, errSecNotAvailable);
  EXPECT_TRUE(call("deleteAll", arguments(std::nullopt, sealed())).isError());
  EXPECT_EQ(enclaveKeys().size(), 1u);
  EXPECT_EQ(read("a", sealed()).value, Value("1"));

  foundation::testing::setEmulatedOperatingSystemVersion({10, 14, 0});
  EXPECT_TRUE(call("deleteAll", arguments(std::nullopt, sealed())).isSuccess());
  EXPECT_EQ(enclaveKeys().size(), 1u);

  foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  EXPECT_TRUE(call("deleteAll", arguments(std::nullopt, sealed())).isSuccess());
  EXPECT_TRUE(enclaveKeys().empty());
  EXPECT_TRUE(storedItems().empty());
}

}  // namespace
