// Keychain handles: initialisers and properties.
#include <gtest/gtest.h>

#include "platform/foundation/testing/foundation_controls.h"
#include "platform/security/sec_item_constants.h"
#include "plugins/keychain_bridge/keychain.h"

namespace {

using namespace keychain_bridge;

TEST(KeychainHandleTest, InitialisersFillTheOptions) {
  Keychain keychain = Keychain::withService("svc");
  EXPECT_EQ(keychain.service(), "svc");
  EXPECT_EQ(keychain.itemClass(), ItemClass::genericPassword);
  EXPECT_EQ(keychain.accessibility(), Accessibility::afterFirstUnlock);
  EXPECT_FALSE(keychain.synchronizable());
  EXPECT_EQ(keychain.authenticationType(), AuthenticationType::default_);
  EXPECT_EQ(keychain.accessGroup(), std::nullopt);
  EXPECT_EQ(keychain.authenticationUI(), AuthenticationUI::allow);
  EXPECT_EQ(keychain.authenticationContext(), nullptr);
  EXPECT_EQ(keychain.server(), std::nullopt);
  EXPECT_EQ(keychain.protocolType(), std::nullopt);

  // The test program's bundle has no identifier.
  EXPECT_EQ(Keychain().service(), "");
  EXPECT_EQ(Keychain::withAccessGroup("group").accessGroup(), "group");
  EXPECT_EQ(Keychain::withService("s", "g").accessGroup(), "g");

  auto internet = Keychain::withServer("https://example.com:8443/login", ProtocolType::https);
  ASSERT_TRUE(internet.has_value());
  EXPECT_EQ(internet->itemClass(), ItemClass::internetPassword);
  EXPECT_EQ(internet->service(), "");
  EXPECT_EQ(internet->server()->host(), "example.com");
  EXPECT_EQ(internet->protocolType(), ProtocolType::https);
  EXPECT_EQ(Keychain::withServer("not a url", ProtocolType::https), std::nullopt);
}

}  // namespace
