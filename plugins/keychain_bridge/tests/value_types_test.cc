// The value types: raw values, descriptions, and the policy option set.
#include <gtest/gtest.h>

#include "platform/localauthentication/la_context.h"
#include "platform/security/sec_item_constants.h"
#include "plugins/keychain_bridge/accessibility.h"
#include "plugins/keychain_bridge/attributes.h"
#include "plugins/keychain_bridge/authentication_policy.h"
#include "plugins/keychain_bridge/authentication_type.h"
#include "plugins/keychain_bridge/authentication_ui.h"
#include "plugins/keychain_bridge/item_class.h"
#include "plugins/keychain_bridge/protocol_type.h"

namespace {

using namespace keychain_bridge;

template <typename Enumeration>
void expectEveryCaseRoundTrips(size_t count) {
  for (size_t index = 0; index < count; ++index) {
    Enumeration value(static_cast<typename Enumeration::Case>(index));
    EXPECT_EQ(Enumeration::withRawValue(value.rawValue()), value) << value.description();
    EXPECT_FALSE(value.description().empty());
  }
  EXPECT_EQ(Enumeration::withRawValue("no such constant"), std::nullopt);
}

TEST(ValueTypesTest, EveryCaseRoundTripsThroughItsRawValue) {
  expectEveryCaseRoundTrips<ItemClass>(2);
  expectEveryCaseRoundTrips<ProtocolType>(31);
  expectEveryCaseRoundTrips<AuthenticationType>(8);
  expectEveryCaseRoundTrips<Accessibility>(7);

  EXPECT_EQ(ProtocolType::withRawValue(kSecAttrProtocolPOP3S), ProtocolType::pop3S);
  EXPECT_EQ(ProtocolType(ProtocolType::telnetS).rawValue(), kSecAttrProtocolTelnetS);
  EXPECT_EQ(ItemClass::withRawValue(""), std::nullopt);
  EXPECT_EQ(ItemClass::withRawValue(kSecClassInternetPassword), ItemClass::internetPassword);
  EXPECT_EQ(ItemClass(ItemClass::genericPassword).description(), "GenericPassword");
  EXPECT_EQ(Accessibility(Accessibility::afterFirstUnlockThisDeviceOnly).description(),
            "AfterFirstUnlockThisDeviceOnly");
  EXPECT_EQ(AuthenticationType(AuthenticationType::default_).description(), "Default");
  EXPECT_EQ(AuthenticationUI(AuthenticationUI::skip).description(), "skip");
  EXPECT_EQ(AuthenticationUI(AuthenticationUI::skip).rawValue(), kSecUseAuthenticationUISkip);
  EXPECT_EQ(AuthenticationUI(AuthenticationUI::fail).rawValue(), kSecUseAuthenticationUIFail);
}

TEST(ValueTypesTest, PoliciesAreBitSetsWithAliasedMembers) {
  AuthenticationPolicy aliases{AuthenticationPolicy::biometryAny, AuthenticationPolicy::touchIDAny};
  EXPECT_EQ(aliases.rawValue, 2u);
  EXPECT_EQ(aliases, AuthenticationPolicy::biometryAny);
  EXPECT_EQ(AuthenticationPolicy::touchIDCurrentSet, AuthenticationPolicy::biometryCurrentSet);
  EXPECT_EQ(AuthenticationPolicy(4).rawValue, 4u);
  EXPECT_EQ(AuthenticationPolicy::applicationPassword.rawValue, 0x80000000u);

  AuthenticationPolicy policy{AuthenticationPolicy::userPresence, AuthenticationPolicy::or_,
                              AuthenticationPolicy::devicePasscode};
  EXPECT_EQ(policy.rawValue, 0x4011u);
  EXPECT_TRUE(policy.contains(AuthenticationPolicy::or_));
  EXPECT_TRUE(AuthenticationPolicy::userPresence.isSubset(policy));
  EXPECT_TRUE(policy.isDisjoint(AuthenticationPolicy::and_));
  EXPECT_EQ(policy.subtracting(AuthenticationPolicy::or_).rawValue, 0x11u);
  EXPECT_EQ(policy.symmetricDifference(AuthenticationPolicy::watch).rawValue, 0x4031u);
  EXPECT_EQ(policy.intersection(AuthenticationPolicy::devicePasscode),
            AuthenticationPolicy::devicePasscode);
  policy.remove(policy);
  EXPECT_TRUE(policy.isEmpty());
  policy.insert(AuthenticationPolicy::privateKeyUsage);
  EXPECT_EQ(policy.unionWith(AuthenticationPolicy::watch).rawValue, 0x40000020u);
}

TEST(AttributesTest, PropertiesReadOnlyValuesOfTheirType) {
  Attributes empty{CFDictionary()};
  EXPECT_EQ(empty.label(), std::nullopt);
  EXPECT_EQ(empty.port(), std::nullopt);
  EXPECT_EQ(empty[kSecAttrLabel], nullptr);

  auto access_control = SecAccessControlCreateWithFlags(kSecAttrAccessibleWhenUnlocked,
                                                        kSecAccessControlUserPresence, nullptr);
  Attributes attributes{CFDictionary{{kSecAttrLabel, int32_t{5}},
                                     {kSecAttrPort, int32_t{443}},
                                     {kSecAttrServer, "example.com"},
                                     {kSecAttrCreator, int32_t{0x61626364}},
                                     {kSecAttrType, "note"},
                                     {kSecAttrSynchronizable, true},
                                     {kSecAttrIsInvisible, int32_t{0}},
                                     {kSecValueRef, CFBytes{1, 2}},
                                     {kSecAttrAccessControl, "not an access control"},
                                     {kSecAttrCreationDate, CFDate{10}}}};
  EXPECT_EQ(attributes.label(), std::nullopt);
  EXPECT_EQ(*attributes[kSecAttrLabel], CFValue(int32_t{5}));
  EXPECT_EQ(attributes.port(), 443);
  EXPECT_EQ(attributes.server(), "example.com");
  EXPECT_EQ(attributes.creator(), std::nullopt);
  EXPECT_EQ(attributes.type(), "note");
  EXPECT_EQ(attributes.synchronizable(), true);
  EXPECT_EQ(attributes.isInvisible(), false);
  EXPECT_EQ(attributes.ref(), (CFBytes{1, 2}));
  EXPECT_EQ(attributes.accessControl(), nullptr);
  EXPECT_EQ(attributes.creationDate(), CFDate{10});
  EXPECT_EQ(attributes.description(), attributes.debugDescription());

  Attributes other{CFDictionary{{kSecAttrPort, "443"},
                                {kSecAttrAccessControl, access_control},
                                {kSecValueRef, std::make_shared<LAContext>()}}};
  EXPECT_EQ(other.port(), std::nullopt);
  EXPECT_EQ(other.ref(), std::nullopt);
  EXPECT_EQ(other.accessControl(), access_control);
}

}  // namespace
