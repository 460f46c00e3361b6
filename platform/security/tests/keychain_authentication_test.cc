// Access controls and the reads that must ask the user first.
#include <chrono>

#include "platform/security/tests/keychain_fixture.h"

namespace {

using localauthentication::testing::AuthenticatorAnswer;
using localauthentication::testing::promptCount;
using localauthentication::testing::setAuthenticatorAnswer;

class AuthenticationTest : public KeychainFixture {
 protected:
  void SetUp() override {
    KeychainFixture::SetUp();
    auto presence = SecAccessControlCreateWithFlags(kSecAttrAccessibleWhenUnlocked,
                                                    kSecAccessControlUserPresence, nullptr);
    ASSERT_EQ(add("guarded", "secret", {{kSecAttrAccessControl, presence}}), errSecSuccess);
    ASSERT_EQ(add("open", "plain"), errSecSuccess);
  }
};

TEST(AccessControlTest, InvalidCombinationsFailWithAnError) {
  CFErrorRef error;
  EXPECT_NE(SecAccessControlCreateWithFlags(kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
                                            kSecAccessControlPrivateKeyUsage, &error),
            nullptr);
  struct Case {
    CFValue protection;
    SecAccessControlCreateFlags flags;
  };
  for (const auto& [protection, flags] :
       {Case{"sometimes", kSecAccessControlUserPresence}, Case{int32_t{1}, 0},
        Case{kSecAttrAccessibleWhenUnlocked, 1u << 2},
        Case{kSecAttrAccessibleWhenUnlocked, kSecAccessControlOr | kSecAccessControlAnd |
                                                 kSecAccessControlUserPresence |
                                                 kSecAccessControlDevicePasscode},
        Case{kSecAttrAccessibleWhenUnlocked,
             kSecAccessControlOr | kSecAccessControlUserPresence}}) {
    error = nullptr;
    EXPECT_EQ(SecAccessControlCreateWithFlags(protection, flags, &error), nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(CFErrorGetCode(error), errSecParam);
    EXPECT_FALSE(CFErrorCopyDescription(error).empty());
  }
}

TEST_F(AuthenticationTest, ProtectedDataIsAnsweredOnlyAfterTheUserApproves) {
  EXPECT_EQ(readData({{kSecAttrAccount, "guarded"}}), "secret");
  EXPECT_EQ(promptCount(), 1);
  // Attributes alone need no approval.
  EXPECT_EQ(count({{kSecAttrAccount, "guarded"}}), 1u);
  EXPECT_EQ(promptCount(), 1);

  OSStatus status;
  setAuthenticatorAnswer(AuthenticatorAnswer::cancel);
  EXPECT_EQ(readData({{kSecAttrAccount, "guarded"}}, &status), std::nullopt);
  EXPECT_EQ(status, errSecUserCanceled);
  setAuthenticatorAnswer(AuthenticatorAnswer::fail);
  readData({{kSecAttrAccount, "guarded"}}, &status);
  EXPECT_EQ(status, errSecAuthFailed);
  setAuthenticatorAnswer(AuthenticatorAnswer::notAvailable);
  readData({{kSecAttrAccount, "guarded"}}, &status);
  EXPECT_EQ(status, errSecAuthFailed);
  EXPECT_EQ(readData({{kSecAttrAccount, "open"}}), "plain");
}

TEST_F(AuthenticationTest, TheAuthenticationUIModeDecidesWhetherToAsk) {
  OSStatus status;
  readData({{kSecAttrAccount, "guarded"}, {kSecUseAuthenticationUI, kSecUseAuthenticationUIFail}},
           &status);
  EXPECT_EQ(status, errSecInteractionNotAllowed);

  CFValue result;
  ASSERT_EQ(SecItemCopyMatching({{kSecClass, kSecClassGenericPassword},
                                 {kSecUseAuthenticationUI, kSecUseAuthenticationUISkip},
                                 {kSecMatchLimit, kSecMatchLimitAll},
                                 {kSecReturnData, true}},
                                &result),
            errSecSuccess);
  EXPECT_EQ(result, CFValue(CFArray{bytes("plain")}));
  readData({{kSecAttrAccount, "guarded"}, {kSecUseAuthenticationUI, kSecUseAuthenticationUISkip}},
           &status);
  EXPECT_EQ(status, errSecItemNotFound);
  EXPECT_EQ(promptCount(), 0);
}

TEST_F(AuthenticationTest, AContextSparesPromptsForItsReuseDuration) {
  auto context = std::make_shared<LAContext>();
  context->setTouchIDAuthenticationAllowableReuseDuration(30);
  CFDictionary query{{kSecAttrAccount, "guarded"}, {kSecUseAuthenticationContext, context}};
  EXPECT_EQ(readData(query), "secret");
  EXPECT_EQ(readData(query), "secret");
  EXPECT_EQ(promptCount(), 1);
  // Approved recently enough, the context answers even where no prompt may be shown.
  CFDictionary without_ui = query;
  without_ui.set(kSecUseAuthenticationUI, kSecUseAuthenticationUIFail);
  EXPECT_EQ(readData(without_ui), "secret");

  localauthentication::testing::advanceClock(std::chrono::seconds(31));
  OSStatus status;
  readData(without_ui, &status);
  EXPECT_EQ(status, errSecInteractionNotAllowed);
  EXPECT_EQ(readData(query), "secret");
  EXPECT_EQ(promptCount(), 2);
}

}  // namespace
