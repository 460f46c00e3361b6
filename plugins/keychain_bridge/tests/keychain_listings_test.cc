// Listings and descriptions of keychain handles.
#include "plugins/keychain_bridge/tests/keychain_fixture.h"

namespace {

using namespace keychain_bridge;
using KeychainListingsTest = KeychainBridgeFixture;

TEST_F(KeychainListingsTest, AnEmptyKeychainListsNothingSilently) {
  Keychain keychain = Keychain::withService("svc");
  std::string lines = linesOf([&] {
    EXPECT_TRUE(keychain.allKeys().empty());
    EXPECT_TRUE(keychain.allItems().empty());
    EXPECT_EQ(keychain.description(), "[]");
    EXPECT_TRUE(Keychain::allKeys(ItemClass::internetPassword).empty());
  });
  EXPECT_EQ(lines, "");
}

TEST_F(KeychainListingsTest, ItemsListAsDisplayDictionaries) {
  Keychain keychain = Keychain::withService("com.velmora.device_udid");
  ASSERT_TRUE(keychain.set("value", "udid").ok());
  ASSERT_TRUE(keychain.set("other", "second").ok());
  ASSERT_EQ(SecItemAdd({{kSecClass, kSecClassGenericPassword},
                        {kSecAttrService, "com.velmora.device_udid"},
                        {kSecValueData, CFBytes{1}}},
                       nullptr),
            errSecSuccess);

  auto items = keychain.allItems();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], (CFDictionary{{"class", "GenericPassword"},
                                    {"service", "com.velmora.device_udid"},
                                    {"key", "udid"},
                                    {"accessibility", "AfterFirstUnlock"},
                                    {"synchronizable", "false"}}));
  EXPECT_EQ(keychain.allKeys(), (std::vector<std::string>{"udid", "second"}));
  EXPECT_EQ(Keychain::allKeys(ItemClass::genericPassword),
            (std::vector<std::pair<std::string, std::string>>{{"com.velmora.device_udid", "udid"},
                                                              {"com.velmora.device_udid", "second"},
                                                              {"com.velmora.device_udid", ""}}));

  std::string description = keychain.description();
  EXPECT_EQ(std::count(description.begin(), description.end(), '\n'), 4);
  EXPECT_TRUE(description.starts_with("[\n  {\"accessibility\": \"AfterFirstUnlock\""));
  EXPECT_TRUE(description.ends_with("}\n]"));
  EXPECT_NE(keychain.debugDescription().find("\"udid\""), std::string::npos);
}

TEST_F(KeychainListingsTest, InternetItemsListTheirServerProtocolAndAuthentication) {
  auto keychain = Keychain::withServer("https://example.com", ProtocolType::https);
  ASSERT_TRUE(keychain->set("secret", "alice").ok());
  ASSERT_EQ(SecItemAdd({{kSecClass, kSecClassInternetPassword},
                        {kSecAttrAccount, "bob"},
                        {kSecAttrAccessible, kSecAttrAccessibleAlways}},
                       nullptr),
            errSecSuccess);
  auto items = Keychain::allItems(ItemClass::internetPassword);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(*items[0].find("server"), CFValue("example.com"));
  EXPECT_EQ(*items[0].find("protocol"), CFValue("HTTPS"));
  EXPECT_EQ(*items[0].find("authenticationType"), CFValue("Default"));
  EXPECT_EQ(items[1].find("server"), nullptr);
  EXPECT_EQ(
      Keychain::allKeys(ItemClass::internetPassword),
      (std::vector<std::pair<std::string, std::string>>{{"example.com", "alice"}, {"", "bob"}}));

  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecNotAvailable);
  std::string lines = linesOf([&] { EXPECT_TRUE(keychain->allItems().empty()); });
  EXPECT_EQ(lines,
            "OSStatus error:[-25291] No keychain is available. You may need to restart your "
            "computer.\n");
}

}  // namespace
