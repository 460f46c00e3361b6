// The keychain's item functions: identity, parameter errors, filtering, result shapes, updates
// and deletions.
#include "platform/security/tests/keychain_fixture.h"

namespace {

using ItemsTest = KeychainFixture;

TEST_F(ItemsTest, EachIdentityHoldsOneItem) {
  EXPECT_EQ(add("alice", "one"), errSecSuccess);
  EXPECT_EQ(add("alice", "two"), errSecDuplicateItem);
  EXPECT_EQ(add("alice", "three", {{kSecAttrService, "other"}}), errSecSuccess);
  EXPECT_EQ(add("alice", "four", {{kSecAttrSynchronizable, true}}), errSecSuccess);
  EXPECT_EQ(add("alice", "five", {{kSecAttrAccessGroup, "group"}}), errSecSuccess);
  // The label is no part of the identity.
  EXPECT_EQ(add("alice", "six", {{kSecAttrLabel, "label"}}), errSecDuplicateItem);
  EXPECT_EQ(readData({{kSecAttrAccount, "alice"}}), "one");

  CFDictionary internet{{kSecClass, kSecClassInternetPassword},
                        {kSecAttrAccount, "bob"},
                        {kSecAttrServer, "example.com"},
                        {kSecAttrProtocol, kSecAttrProtocolHTTPS},
                        {kSecAttrPort, int32_t{443}}};
  EXPECT_EQ(SecItemAdd(internet, nullptr), errSecSuccess);
  EXPECT_EQ(SecItemAdd(internet, nullptr), errSecDuplicateItem);
  internet.set(kSecAttrPort, int32_t{8443});
  EXPECT_EQ(SecItemAdd(internet, nullptr), errSecSuccess);
  internet.set(kSecAttrPath, "/login");
  EXPECT_EQ(SecItemAdd(internet, nullptr), errSecSuccess);
}

TEST_F(ItemsTest, MalformedDictionariesAnswerParameterErrors) {
  EXPECT_EQ(SecItemAdd({{kSecAttrAccount, "a"}}, nullptr), errSecParam);
  EXPECT_EQ(SecItemCopyMatching({{kSecAttrAccount, "a"}}, nullptr), errSecParam);
  EXPECT_EQ(SecItemAdd({{kSecClass, "no-such-class"}}, nullptr), errSecNoSuchClass);
  EXPECT_EQ(add("a", "v", {{kSecAttrSynchronizable, kSecAttrSynchronizableAny}}), errSecParam);
  auto access_control = SecAccessControlCreateWithFlags(kSecAttrAccessibleWhenUnlocked,
                                                        kSecAccessControlUserPresence, nullptr);
  EXPECT_EQ(add("a", "v",
                {{kSecAttrAccessible, kSecAttrAccessibleAlways},
                 {kSecAttrAccessControl, access_control}}),
            errSecParam);
  EXPECT_EQ(add("a", "v", {{kSecAttrAccount, int32_t{5}}}), errSecParam);
  EXPECT_EQ(add("a", "v", {{kSecAttrAccessible, "sometimes"}}), errSecParam);
  EXPECT_EQ(add("a", "v", {{"no-such-key", "x"}}), errSecParam);
  EXPECT_EQ(add("a", "v", {{kSecAttrCreationDate, CFDate{0}}}), errSecReadOnlyAttr);
  EXPECT_EQ(add("a", "v", {{kSecValueData, "text, not data"}}), errSecParam);
  ASSERT_EQ(add("a", "v"), errSecSuccess);

  OSStatus status;
  readData({{kSecAttrAccount, "a"}, {kSecUseAuthenticationUI, "sometimes"}}, &status);
  EXPECT_EQ(status, errSecParam);
  EXPECT_EQ(SecItemCopyMatching(
                {{kSecClass, kSecClassGenericPassword}, {kSecMatchLimit, int32_t{0}}}, nullptr),
            errSecParam);
  EXPECT_EQ(SecItemUpdate({{kSecClass, kSecClassGenericPassword}},
                          {{kSecAttrSynchronizable, kSecAttrSynchronizableAny}}),
            errSecParam);
  EXPECT_EQ(SecItemUpdate({{kSecClass, kSecClassGenericPassword}}, {{kSecClass, kSecClassKey}}),
            errSecParam);
  EXPECT_EQ(SecItemDelete({{kSecClass, kSecClassGenericPassword}, {kSecAttrPort, "http"}}),
            errSecParam);
  EXPECT_EQ(readData({{kSecAttrAccount, "a"}}), "v");
}

TEST_F(ItemsTest, EveryQueryAttributeFiltersByEquality) {
  auto presence = SecAccessControlCreateWithFlags(kSecAttrAccessibleWhenUnlocked,
                                                  kSecAccessControlUserPresence, nullptr);
  ASSERT_EQ(
      add("plain", "1", {{kSecAttrLabel, "L"}, {kSecAttrAccessible, kSecAttrAccessibleAlways}}),
      errSecSuccess);
  ASSERT_EQ(add("guarded", "2", {{kSecAttrAccessControl, presence}}), errSecSuccess);
  ASSERT_EQ(add("synced", "3", {{kSecAttrSynchronizable, true}, {kSecAttrService, "s"}}),
            errSecSuccess);

  EXPECT_EQ(count({}), 2u);
  EXPECT_EQ(count({{kSecAttrSynchronizable, false}}), 2u);
  EXPECT_EQ(count({{kSecAttrSynchronizable, true}}), 1u);
  EXPECT_EQ(count({{kSecAttrSynchronizable, kSecAttrSynchronizableAny}}), 3u);
  EXPECT_EQ(count({{kSecAttrLabel, "L"}}), 1u);
  EXPECT_EQ(count({{kSecAttrLabel, "M"}}), 0u);
  EXPECT_EQ(count({{kSecAttrAccessible, kSecAttrAccessibleAlways}}), 1u);
  EXPECT_EQ(count({{kSecAttrAccessible, kSecAttrAccessibleWhenUnlocked}}), 1u);
  EXPECT_EQ(count({{kSecAttrAccessControl, presence}}), 1u);
  auto passcode = SecAccessControlCreateWithFlags(kSecAttrAccessibleWhenUnlocked,
                                                  kSecAccessControlDevicePasscode, nullptr);
  EXPECT_EQ(count({{kSecAttrAccessControl, passcode}}), 0u);
  EXPECT_EQ(count({{kSecAttrService, "s"}, {kSecAttrSynchronizable, kSecAttrSynchronizableAny}}),
            1u);

  OSStatus status;
  readData({{kSecAttrAccount, "nobody"}}, &status);
  EXPECT_EQ(status, errSecItemNotFound);
}

// Lookups narrow the stored items down by the leading identity attributes they name: accounts
// that share bytes, an empty account, bytes at the edges of the range and either synchronizable
// kind must still match exactly by equality.
TEST_F(ItemsTest, LookupsByAccountAndServiceFindExactlyTheirItems) {
  const std::vector<std::string> accounts = {"a", "ab",       "a\xff", std::string("a\0", 2),
                                             "",  "\xff\xff", "b"};
  for (const auto& account : accounts) {
    for (const char* service : {"s", "t"}) {
      ASSERT_EQ(add(account, account + "/" + service, {{kSecAttrService, service}}), errSecSuccess);
      ASSERT_EQ(add(account, account + "/" + service + "/synced",
                    {{kSecAttrService, service}, {kSecAttrSynchronizable, true}}),
                errSecSuccess);
    }
  }
  ASSERT_EQ(add("no service", "bare"), errSecSuccess);
  for (const auto& account : accounts) {
    SCOPED_TRACE(account);
    EXPECT_EQ(readData({{kSecAttrAccount, account}, {kSecAttrService, "t"}}), account + "/t");
    EXPECT_EQ(
        readData(
            {{kSecAttrAccount, account}, {kSecAttrService, "s"}, {kSecAttrSynchronizable, true}}),
        account + "/s/synced");
    EXPECT_EQ(count({{kSecAttrAccount, account}}), 2u);
    EXPECT_EQ(
        count({{kSecAttrAccount, account}, {kSecAttrSynchronizable, kSecAttrSynchronizableAny}}),
        4u);
  }
  EXPECT_EQ(count({{kSecAttrService, "s"}}), accounts.size());
  EXPECT_EQ(readData({{kSecAttrAccount, "no service"}}), "bare");
  EXPECT_EQ(count({{kSecAttrAccount, "no service"}, {kSecAttrService, "s"}}), 0u);

  // An update that leaves the data alone keeps it, and one through a persistent reference
  // reaches only its item.
  ASSERT_EQ(SecItemUpdate({{kSecClass, kSecClassGenericPassword}, {kSecAttrAccount, "ab"}},
                          {{kSecAttrLabel, "relabelled"}}),
            errSecSuccess);
  EXPECT_EQ(readData({{kSecAttrAccount, "ab"}, {kSecAttrService, "s"}}), "ab/s");
  EXPECT_EQ(count({{kSecAttrLabel, "relabelled"}}), 2u);
  CFValue reference;
  ASSERT_EQ(SecItemCopyMatching({{kSecClass, kSecClassGenericPassword},
                                 {kSecAttrAccount, "b"},
                                 {kSecAttrService, "t"},
                                 {kSecReturnPersistentRef, true}},
                                &reference),
            errSecSuccess);
  EXPECT_EQ(readData({{kSecValuePersistentRef, reference}}), "b/t");
  EXPECT_EQ(readData({{kSecValuePersistentRef, reference}, {kSecAttrAccount, "a"}}), std::nullopt);
}

TEST_F(ItemsTest, ResultsComeInCreationOrderShapedByTheReturnKeys) {
  for (const char* account : {"c", "a", "b"})
    ASSERT_EQ(add(account, std::string(account) + "!"), errSecSuccess);

  CFValue result;
  ASSERT_EQ(SecItemCopyMatching({{kSecClass, kSecClassGenericPassword},
                                 {kSecMatchLimit, kSecMatchLimitAll},
                                 {kSecReturnAttributes, true},
                                 {kSecReturnData, true}},
                                &result),
            errSecSuccess);
  ASSERT_NE(result.asArray(), nullptr);
  std::vector<std::string> accounts;
  for (const auto& item : *result.asArray()) {
    const CFDictionary& attributes = *item.asDictionary();
    accounts.push_back(*attributes.find(kSecAttrAccount)->asString());
    EXPECT_EQ(*attributes.find(kSecClass), CFValue(kSecClassGenericPassword));
    EXPECT_EQ(*attributes.find(kSecAttrSynchronizable), CFValue(false));
    EXPECT_EQ(*attributes.find(kSecAttrAccessible), CFValue(kSecAttrAccessibleWhenUnlocked));
    EXPECT_EQ(*attributes.find(kSecValueData), CFValue(bytes(accounts.back() + "!")));
    EXPECT_NE(attributes.find(kSecAttrCreationDate), nullptr);
  }
  EXPECT_EQ(accounts, (std::vector<std::string>{"c", "a", "b"}));

  ASSERT_EQ(
      SecItemCopyMatching({{kSecClass, kSecClassGenericPassword}, {kSecReturnData, true}}, &result),
      errSecSuccess);
  EXPECT_EQ(result, CFValue(bytes("c!")));

  ASSERT_EQ(SecItemCopyMatching({{kSecClass, kSecClassGenericPassword},
                                 {kSecAttrAccount, "b"},
                                 {kSecReturnPersistentRef, true}},
                                &result),
            errSecSuccess);
  ASSERT_NE(result.asData(), nullptr);
  EXPECT_EQ(readData({{kSecValuePersistentRef, *result.asData()}}), "b!");

  ASSERT_EQ(SecItemCopyMatching({{kSecClass, kSecClassGenericPassword},
                                 {kSecMatchLimit, int32_t{2}},
                                 {kSecReturnData, true}},
                                &result),
            errSecSuccess);
  EXPECT_EQ(result, CFValue(CFArray{bytes("c!"), bytes("a!")}));
  EXPECT_EQ(
      SecItemCopyMatching({{kSecClass, kSecClassGenericPassword}, {kSecReturnRef, true}}, &result),
      errSecParam);
}

TEST_F(ItemsTest, UpdatesChangeEveryMatchOrNoneAndDeletesRemoveEveryMatch) {
  ASSERT_EQ(add("one", "1", {{kSecAttrService, "s"}}), errSecSuccess);
  ASSERT_EQ(add("two", "2", {{kSecAttrService, "s"}}), errSecSuccess);
  ASSERT_EQ(add("three", "3"), errSecSuccess);

  EXPECT_EQ(SecItemUpdate({{kSecClass, kSecClassGenericPassword}, {kSecAttrService, "s"}},
                          {{kSecValueData, bytes("new")}, {kSecAttrLabel, "both"}}),
            errSecSuccess);
  EXPECT_EQ(readData({{kSecAttrAccount, "two"}}), "new");
  EXPECT_EQ(count({{kSecAttrLabel, "both"}}), 2u);

  // Both would become "same": the second clashes with the first, so neither changes.
  EXPECT_EQ(SecItemUpdate({{kSecClass, kSecClassGenericPassword}, {kSecAttrService, "s"}},
                          {{kSecAttrAccount, "same"}}),
            errSecDuplicateItem);
  EXPECT_EQ(count({{kSecAttrAccount, "same"}}), 0u);
  EXPECT_EQ(SecItemUpdate({{kSecClass, kSecClassGenericPassword}, {kSecAttrAccount, "none"}},
                          {{kSecAttrLabel, "x"}}),
            errSecItemNotFound);

  EXPECT_EQ(SecItemDelete({{kSecClass, kSecClassGenericPassword}, {kSecAttrService, "s"}}),
            errSecSuccess);
  EXPECT_EQ(count({}), 1u);
  EXPECT_EQ(SecItemDelete({{kSecClass, kSecClassGenericPassword}, {kSecAttrService, "s"}}),
            errSecItemNotFound);
}

TEST_F(ItemsTest, TheTwoKeychainsAreSeparate) {
  ASSERT_EQ(add("shared", "file"), errSecSuccess);
  ASSERT_EQ(add("shared", "protected", {{kSecUseDataProtectionKeychain, true}}), errSecSuccess);
  EXPECT_EQ(readData({{kSecAttrAccount, "shared"}}), "file");
  EXPECT_EQ(readData({{kSecAttrAccount, "shared"}, {kSecUseDataProtectionKeychain, true}}),
            "protected");
  EXPECT_EQ(
      SecItemDelete({{kSecClass, kSecClassGenericPassword}, {kSecUseDataProtectionKeychain, true}}),
      errSecSuccess);
  EXPECT_EQ(readData({{kSecAttrAccount, "shared"}}), "file");
}

TEST_F(ItemsTest, ControlsInjectStatusesAndRecordDictionariesOnlyWhenAsked) {
  using security::testing::SecFunction;
  // Secrets pass through these dictionaries: a process that no test controls keeps none.
  security::internal::SecurityState untouched;
  untouched.enter(SecFunction::itemAdd, password("k", "secret"));
  EXPECT_TRUE(untouched.calls(SecFunction::itemAdd).empty());
  security::testing::setCallRecording(false);
  EXPECT_EQ(add("unrecorded", "secret"), errSecSuccess);
  EXPECT_FALSE(security::testing::lastCall(SecFunction::itemAdd).has_value());
  security::testing::setCallRecording(true);
  security::testing::failNextCall(SecFunction::itemAdd, errSecNotAvailable, 1);
  EXPECT_EQ(add("first", "1"), errSecSuccess);
  EXPECT_EQ(add("second", "2"), errSecNotAvailable);
  EXPECT_EQ(count({{kSecAttrAccount, "second"}}), 0u);
  EXPECT_EQ(add("second", "2"), errSecSuccess);

  SecItemUpdate({{kSecClass, kSecClassGenericPassword}}, {{kSecAttrLabel, "l"}});
  auto update = security::testing::lastCall(SecFunction::itemUpdate);
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->dictionary, (CFDictionary{{kSecClass, kSecClassGenericPassword}}));
  EXPECT_EQ(update->attributesToUpdate, (CFDictionary{{kSecAttrLabel, "l"}}));
  EXPECT_EQ(security::testing::lastCall(SecFunction::itemAdd)->dictionary, password("second", "2"));
}

}  // namespace
