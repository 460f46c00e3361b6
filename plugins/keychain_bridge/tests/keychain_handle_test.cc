// Keychain handles: initialisers, properties and setters.
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

TEST(KeychainHandleTest, SettersAnswerNewHandlesAndLeaveTheReceiver) {
  Keychain plain = Keychain::withService("svc");
  Keychain synced = plain.synchronizable(true);
  EXPECT_TRUE(synced.synchronizable());
  EXPECT_FALSE(plain.synchronizable());

  Keychain guarded =
      plain.accessibility(Accessibility::whenUnlocked, AuthenticationPolicy::userPresence)
          .accessibility(Accessibility::always);
  EXPECT_EQ(guarded.accessibility(), Accessibility::always);
  EXPECT_EQ(guarded.authenticationPolicy(), AuthenticationPolicy::userPresence);

  Keychain merged =
      plain.attributes({{"a", int32_t{1}}}).attributes({{"a", int32_t{2}}, {"b", int32_t{3}}});
  EXPECT_EQ(merged.options().attributes, (CFDictionary{{"a", int32_t{2}}, {"b", int32_t{3}}}));

  auto context = std::make_shared<LAContext>();
  Keychain full = plain.label("L")
                      .comment("C")
                      .authenticationPrompt("P")
                      .authenticationUI(AuthenticationUI::skip)
                      .authenticationContext(context);
  EXPECT_EQ(full.label(), "L");
  EXPECT_EQ(full.comment(), "C");
  EXPECT_EQ(full.authenticationPrompt(), "P");
  EXPECT_EQ(full.authenticationUI(), AuthenticationUI::skip);
  EXPECT_EQ(full.authenticationContext(), context);
  EXPECT_EQ(plain.label(), std::nullopt);
}

}  // namespace
