// Item operations of a keychain handle against the keychain.
#include <algorithm>
#include <barrier>
#include <thread>
#include <vector>

#include "plugins/keychain_bridge/tests/keychain_fixture.h"

namespace {

using namespace keychain_bridge;
using KeychainItemsTest = KeychainBridgeFixture;

TEST_F(KeychainItemsTest, ReadsOfMissingItemsGiveNoneSilently) {
  Keychain keychain = Keychain::withService("svc");
  std::string lines = linesOf([&] {
    EXPECT_EQ(keychain.getData("k").value(), std::nullopt);
    EXPECT_EQ(keychain.getString("k").value(), std::nullopt);
    EXPECT_EQ(keychain.contains("k").value(), false);
    EXPECT_TRUE(keychain.remove("k").ok());
    EXPECT_TRUE(keychain.removeAll().ok());
    auto handled = keychain.get("k", true, [](std::optional<Attributes> attributes) -> Result<int> {
      return attributes ? 1 : 0;
    });
    EXPECT_EQ(handled.value(), 0);
  });
  EXPECT_EQ(lines, "");
}

TEST_F(KeychainItemsTest, SetAddsANewItemAndUpdatesAnExistingOne) {
  Keychain keychain = Keychain::withService("svc");
  ASSERT_TRUE(keychain.set("first", "k").ok());
  CFDictionary added = lastDictionary(SecFunction::itemAdd);
  EXPECT_EQ(*added.find(kSecClass), CFValue(kSecClassGenericPassword));
  EXPECT_EQ(*added.find(kSecAttrService), CFValue("svc"));
  EXPECT_EQ(*added.find(kSecAttrAccount), CFValue("k"));
  EXPECT_EQ(*added.find(kSecValueData), CFValue(CFBytes{'f', 'i', 'r', 's', 't'}));
  EXPECT_EQ(*added.find(kSecAttrAccessible), CFValue(kSecAttrAccessibleAfterFirstUnlock));
  EXPECT_EQ(*added.find(kSecAttrSynchronizable), CFValue(false));
  EXPECT_EQ(added.find(kSecAttrLabel), nullptr);

  Keychain labelled = keychain.label("L")
                          .accessibility(Accessibility::always)
                          .attributes({{kSecAttrLabel, "from attributes"}});
  ASSERT_TRUE(labelled.set("second", "k").ok());
  auto update = security::testing::lastCall(SecFunction::itemUpdate);
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->attributesToUpdate.find(kSecAttrAccount), nullptr);
  EXPECT_EQ(*update->attributesToUpdate.find(kSecAttrAccessible),
            CFValue(kSecAttrAccessibleAlways));
  EXPECT_EQ(keychain.get("k").value(), "second");
  auto attributes = keychain.attributesSubscript("k");
  ASSERT_TRUE(attributes.has_value());
  EXPECT_EQ(attributes->label(), "from attributes");
  EXPECT_EQ(attributes->service(), "svc");
  EXPECT_EQ(attributes->accessible(), kSecAttrAccessibleAlways);

  Keychain guarded =
      keychain.accessibility(Accessibility::whenUnlocked, AuthenticationPolicy::userPresence);
  ASSERT_TRUE(guarded.set("third", "other").ok());
  added = lastDictionary(SecFunction::itemAdd);
  ASSERT_NE(added.find(kSecAttrAccessControl), nullptr);
  EXPECT_EQ(added.find(kSecAttrAccessible), nullptr);
}

// Two hosts setting one new key at the same moment (a thread stands for the other host's queue):
// the lookup and the write it decides on are one transaction, so neither meets the other's item
// as a duplicate, nor updates one that the other just removed.
TEST_F(KeychainItemsTest, SetsRacingOnOneKeyAllSucceed) {
  constexpr int kTrials = 100;
  Keychain keychain = Keychain::withService("svc");
  std::barrier together(2);
  std::vector<bool> other_ok(kTrials), own_ok(kTrials);
  std::thread other([&] {
    for (int i = 0; i < kTrials; ++i) {
      together.arrive_and_wait();
      other_ok[i] = keychain.set("other", "k" + std::to_string(i)).ok();
    }
  });
  for (int i = 0; i < kTrials; ++i) {
    together.arrive_and_wait();
    own_ok[i] = keychain.set("own", "k" + std::to_string(i)).ok();
  }
  other.join();
  EXPECT_EQ(std::count(other_ok.begin(), other_ok.end(), true), kTrials);
  EXPECT_EQ(std::count(own_ok.begin(), own_ok.end(), true), kTrials);
}

TEST_F(KeychainItemsTest, DerivedHandlesWriteTheirOptionsAndLeaveTheReceiverAlone) {
  Keychain plain = Keychain::withService("svc");
  Keychain derived =
      plain.label("L")
          .comment("C")
          .synchronizable(true)
          .accessibility(Accessibility::whenUnlocked, AuthenticationPolicy::userPresence)
          .accessibility(Accessibility::always)
          .attributes({{kSecAttrDescription, "one"}})
          .attributes({{kSecAttrDescription, "two"}});
  ASSERT_TRUE(derived.set("v", "derived").ok());
  CFDictionary added = lastDictionary(SecFunction::itemAdd);
  EXPECT_EQ(*added.find(kSecAttrLabel), CFValue("L"));
  EXPECT_EQ(*added.find(kSecAttrComment), CFValue("C"));
  EXPECT_EQ(*added.find(kSecAttrSynchronizable), CFValue(true));
  EXPECT_EQ(*added.find(kSecAttrDescription), CFValue("two"));
  // A later accessibility keeps the policy given before it.
  ASSERT_NE(added.find(kSecAttrAccessControl), nullptr);
  auto access_control = added.find(kSecAttrAccessControl)->asAccessControl();
  ASSERT_NE(access_control, nullptr);
  EXPECT_EQ(access_control->protection(), kSecAttrAccessibleAlways);
  EXPECT_EQ(access_control->flags(), kSecAccessControlUserPresence);

  ASSERT_TRUE(plain.set("v", "plain").ok());
  added = lastDictionary(SecFunction::itemAdd);
  EXPECT_EQ(*added.find(kSecAttrAccount), CFValue("plain"));
  for (const auto& key :
       {kSecAttrLabel, kSecAttrComment, kSecAttrDescription, kSecAttrAccessControl}) {
    EXPECT_EQ(added.find(key), nullptr) << key;
  }
  EXPECT_EQ(*added.find(kSecAttrSynchronizable), CFValue(false));
  EXPECT_EQ(*added.find(kSecAttrAccessible), CFValue(kSecAttrAccessibleAfterFirstUnlock));
}

TEST_F(KeychainItemsTest, ItemsNeedingTheUserAreUpdatedAndCountAsPresentWhenAsked) {
  Keychain keychain = Keychain::withService("svc");
  ASSERT_TRUE(keychain.set("v", "k").ok());
  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecInteractionNotAllowed);
  ASSERT_TRUE(keychain.set("w", "k").ok());
  EXPECT_EQ(security::testing::recordedCalls(SecFunction::itemAdd).size(), 1u);
  EXPECT_EQ(keychain.get("k").value(), "w");

  for (bool without_ui : {true, false}) {
    security::testing::failNextCall(SecFunction::itemCopyMatching, errSecInteractionNotAllowed);
    EXPECT_EQ(keychain.contains("k", without_ui).value(), without_ui);
    CFDictionary query = lastDictionary(SecFunction::itemCopyMatching);
    EXPECT_EQ(query.contains(kSecUseAuthenticationUI), without_ui);
  }
  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecNotAvailable);
  std::string lines =
      linesOf([&] { EXPECT_EQ(keychain.contains("k").error().status(), Status::notAvailable); });
  EXPECT_EQ(lines,
            "OSStatus error:[-25291] No keychain is available. You may need to restart your "
            "computer.\n");
}

TEST_F(KeychainItemsTest, TextThatIsNotUtf8FailsAsAConversionError) {
  Keychain keychain = Keychain::withService("svc");
  ASSERT_TRUE(keychain.set(CFBytes{0xFF, 0xFE}, "binary").ok());
  std::string lines = linesOf([&] {
    auto text = keychain.getString("binary");
    ASSERT_FALSE(text.ok());
    EXPECT_EQ(text.error().status(), Status::conversionError);
    EXPECT_EQ(text.error().localizedDescription(), "A conversion error has occurred.");
    EXPECT_EQ(keychain["binary"].value(), std::nullopt);
    EXPECT_FALSE(keychain.set(std::string("\xC3\x28"), "k").ok());
  });
  EXPECT_EQ(lines,
            "failed to convert data to string\nfailed to convert data to string\n"
            "failed to convert string to data\n");
  EXPECT_EQ(keychain.dataSubscript("binary").value(), (CFBytes{0xFF, 0xFE}));
}

TEST_F(KeychainItemsTest, SubscriptsReadWriteAndRemove) {
  Keychain keychain = Keychain::withService("svc");
  keychain["k"] = "one";
  std::optional<std::string> read = keychain["k"];
  EXPECT_EQ(read, "one");
  keychain["k"] = std::nullopt;
  EXPECT_EQ(keychain["k"].value(), std::nullopt);
  keychain.dataSubscript("d") = CFBytes{1};
  EXPECT_EQ(keychain.dataSubscript("d").value(), CFBytes{1});
  EXPECT_EQ(keychain.attributesSubscript("missing"), std::nullopt);
}

TEST_F(KeychainItemsTest, SynchronizableFlagsSelectItemsAndTwinsClashOnUpdate) {
  Keychain local = Keychain::withService("svc");
  Keychain synced = local.synchronizable(true);
  ASSERT_TRUE(local.set("local", "k", false).ok());
  ASSERT_TRUE(synced.set("synced", "k", false).ok());
  EXPECT_EQ(local.get("k", false).value(), "local");
  EXPECT_EQ(synced.get("k", false).value(), "synced");
  EXPECT_EQ(local.allKeys().size(), 2u);

  // Updating both twins to one synchronizable setting would give them one identity.
  std::string lines = linesOf([&] {
    auto result = local.set("both", "k");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().status(), Status::duplicateItem);
  });
  EXPECT_EQ(lines, "OSStatus error:[-25299] The specified item already exists in the keychain.\n");
  EXPECT_EQ(synced.get("k", false).value(), "synced");
}

TEST_F(KeychainItemsTest, AnAccessControlThatCannotBeMadeStopsTheWrite) {
  Keychain keychain = Keychain::withService("svc").accessibility(
      Accessibility::whenUnlocked,
      AuthenticationPolicy{AuthenticationPolicy::or_, AuthenticationPolicy::userPresence});
  std::string lines = linesOf([&] {
    auto result = keychain.set("v", "k");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().status(), std::nullopt);
    EXPECT_EQ(result.error().nsError().domain, kCFErrorDomainOSStatus);
    EXPECT_EQ(result.error().nsError().code, errSecParam);
  });
  EXPECT_FALSE(lines.empty());
  EXPECT_TRUE(security::testing::recordedCalls(SecFunction::itemAdd).empty());

  security::testing::failNextCall(SecFunction::accessControlCreateWithFlags, errSecParam);
  EXPECT_FALSE(Keychain::withService("svc")
                   .accessibility(Accessibility::whenUnlocked, AuthenticationPolicy::userPresence)
                   .set("v", "k")
                   .ok());
}

}  // namespace
