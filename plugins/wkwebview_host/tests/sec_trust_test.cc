// Trust, certificates, credentials, protection spaces, challenges and challenge responses
// through their channels.
#include "platform/security/sec_trust.h"

#include "platform/foundation/testing/foundation_controls.h"
#include "platform/security/testing/test_certificate_authority.h"
#include "platform/security/testing/trust_controls.h"
#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/authentication_challenge_response.h"
#include "plugins/wkwebview_host/sec_trust_wrapper.h"
#include "plugins/wkwebview_host/tests/web_view_data_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;

class SecTrustTest : public WebViewDataTest {
 protected:
  SecTrustTest() {
    auto chain = authority.issueServerChain("a.test");
    SecTrustCreateWithCertificates({chain.leaf, chain.intermediate},
                                   SecPolicyCreateSSL(true, "a.test"), &trust);
    SecTrustSetAnchorCertificates(trust, {chain.root});
    leaf = chain.leaf;
    intermediate = chain.intermediate;
    root = chain.root;
    instances().registerDartObject(makeObject<SecTrustWrapper>(trust), 1);
  }
  ~SecTrustTest() override {
    security::testing::resetTrustControls();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  }
  // The fields of the last trust-result announcement.
  ValueList lastTrustResult() {
    auto announced = receivedOn("GetTrustResultResponse.pigeon_newInstance");
    if (announced.empty()) return {};
    ValueList fields = *announced.back().message.asList();
    fields.erase(fields.begin());
    return fields;
  }

  security::testing::TestCertificateAuthority authority;
  SecTrustRef trust;
  SecCertificateRef leaf;
  SecCertificateRef intermediate;
  SecCertificateRef root;
};

TEST_F(SecTrustTest, EvaluationAnswersTrustOrTheErrorsDomainAndDescription) {
  EXPECT_EQ(call("SecTrust", "evaluateWithError", {ref(1)}), ok(Value(true)));
  EXPECT_EQ(call("SecTrust", "getTrustResult", {ref(1)}), ok(ref(65536)));
  EXPECT_EQ(lastTrustResult(),
            (ValueList{enumerationValue(DartSecTrustResultType::unspecified), Value(int64_t{0})}));

  SecTrustRef other;
  SecTrustCreateWithCertificates({leaf, intermediate}, SecPolicyCreateSSL(true, "b.test"), &other);
  SecTrustSetAnchorCertificates(other, {root});
  instances().registerDartObject(makeObject<SecTrustWrapper>(other), 2);
  EXPECT_EQ(call("SecTrust", "evaluateWithError", {ref(2)}),
            failure("NSOSStatusErrorDomain",
                    Value("\u201ca.test\u201d certificate name does not match input")));
}

TEST_F(SecTrustTest, ExceptionsOfTheLeafMakeAFailingTrustProceed) {
  SecTrustRef untrusted;
  SecTrustCreateWithCertificates({leaf}, SecPolicyCreateSSL(true, "a.test"), &untrusted);
  SecTrustSetAnchorCertificates(untrusted, {});
  instances().registerDartObject(makeObject<SecTrustWrapper>(untrusted), 2);
  EXPECT_EQ((*call("SecTrust", "evaluateWithError", {ref(2)}).asList()).size(), 3u);

  Value exceptions = call("SecTrust", "copyExceptions", {ref(1)});
  ASSERT_TRUE((*exceptions.asList())[0].is<std::vector<uint8_t>>());
  EXPECT_EQ(call("SecTrust", "setExceptions", {ref(2), (*exceptions.asList())[0]}),
            ok(Value(true)));
  EXPECT_EQ(call("SecTrust", "evaluateWithError", {ref(2)}), ok(Value(true)));
  call("SecTrust", "getTrustResult", {ref(2)});
  EXPECT_EQ(lastTrustResult()[0], enumerationValue(DartSecTrustResultType::proceed));

  // Another leaf's exceptions are refused; none clears them.
  auto other = authority.issueServerChain("b.test");
  SecTrustRef other_trust;
  SecTrustCreateWithCertificates({other.leaf}, SecPolicyCreateBasicX509(), &other_trust);
  EXPECT_FALSE(SecTrustSetExceptions(other_trust, SecTrustCopyExceptions(trust)));
  EXPECT_EQ(call("SecTrust", "setExceptions", {ref(2), Value()}), ok(Value(true)));
  EXPECT_EQ((*call("SecTrust", "evaluateWithError", {ref(2)}).asList()).size(), 3u);
}

TEST_F(SecTrustTest, TrustResultsMapAndStatusesTravelInTheResponse) {
  struct Case {
    uint32_t platform;
    DartSecTrustResultType dart;
  };
  for (auto [platform, dart_type] :
       {Case{2, DartSecTrustResultType::confirm}, Case{4, DartSecTrustResultType::unspecified},
        Case{0, DartSecTrustResultType::invalid}, Case{8, DartSecTrustResultType::unknown}}) {
    security::testing::setTrustResult(platform, -67843);
    call("SecTrust", "getTrustResult", {ref(1)});
    EXPECT_EQ(lastTrustResult(), (ValueList{enumerationValue(dart_type), Value(int64_t{-67843})}))
        << platform;
  }
}

TEST_F(SecTrustTest, ChainsAreReadWholeFrom12AndByIndexBelow) {
  for (NSOperatingSystemVersion version :
       {NSOperatingSystemVersion{12, 0, 0}, NSOperatingSystemVersion{11, 7, 0}}) {
    foundation::testing::setEmulatedOperatingSystemVersion(version);
    Value chain = call("SecTrust", "copyCertificateChain", {ref(1)});
    const auto& certificates = *(*chain.asList())[0].asList();
    ASSERT_EQ(certificates.size(), 3u);
    auto leaf_reference = certificates[0].asCustom<DartReference>();
    EXPECT_EQ(call("SecCertificate", "copyData", {ref(leaf_reference->identifier)}),
              ok(Value(SecCertificateCopyData(leaf))));
    auto root_reference = certificates[2].asCustom<DartReference>();
    EXPECT_EQ(call("SecCertificate", "copyData", {ref(root_reference->identifier)}),
              ok(Value(SecCertificateCopyData(root))));
  }

  SecTrustRef empty;
  SecTrustCreateWithCertificates({}, nullptr, &empty);
  instances().registerDartObject(makeObject<SecTrustWrapper>(empty), 3);
  EXPECT_EQ(call("SecTrust", "copyCertificateChain", {ref(3)}), ok());
  foundation::testing::setEmulatedOperatingSystemVersion({12, 0, 0});
  EXPECT_EQ(call("SecTrust", "copyCertificateChain", {ref(3)}), ok());
  security::testing::setCertificateChain({});
  EXPECT_EQ(call("SecTrust", "copyCertificateChain", {ref(3)}), ok(Value(ValueList{})));
  foundation::testing::setEmulatedOperatingSystemVersion({11, 0, 0});
  EXPECT_EQ(call("SecTrust", "copyCertificateChain", {ref(3)}), ok());
}

TEST_F(SecTrustTest, ProtectionSpacesChallengesAndCredentials) {
  auto space = makeObject<NSURLProtectionSpace>(
      "a.test", 443, "https", std::nullopt, NSURLAuthenticationMethodServerTrust,
      trust);
  auto challenge = makeObject<NSURLAuthenticationChallenge>(space);
  instances().registerDartObject(challenge, 4);
  EXPECT_EQ(call("URLAuthenticationChallenge", "getProtectionSpace", {ref(4)}), ok(ref(65536)));
  Value first = call("URLProtectionSpace", "getServerTrust", {ref(65536)});
  Value second = call("URLProtectionSpace", "getServerTrust", {ref(65536)});
  EXPECT_EQ(first, ok(ref(65537)));
  EXPECT_EQ(second, ok(ref(65538)));
  EXPECT_EQ(std::dynamic_pointer_cast<SecTrustWrapper>(instances().lookupObject(65538))->value(),
            trust);

  auto plain = makeObject<NSURLProtectionSpace>("a.test", 80, "http", "realm",
                                                            "NSURLAuthenticationMethodHTTPBasic");
  instances().registerDartObject(plain, 5);
  EXPECT_EQ(call("URLProtectionSpace", "getServerTrust", {ref(5)}), ok());

  EXPECT_EQ(call("URLCredential", "withUser",
                 {id(6), Value("ann"), Value("pw"),
                  enumerationValue(UrlCredentialPersistence::permanent)}),
            ok());
  auto credential =
      std::dynamic_pointer_cast<NSURLCredential>(instances().lookupObject(6));
  ASSERT_TRUE(credential);
  EXPECT_EQ(credential->persistence(), NSURLCredentialPersistencePermanent);
  EXPECT_EQ(credential->user(), "ann");
  EXPECT_EQ(call("URLCredential", "serverTrustAsync", {ref(1)}), ok(ref(65539)));
  EXPECT_EQ(std::dynamic_pointer_cast<NSURLCredential>(instances().lookupObject(65539))
                ->serverTrust(),
            trust);
  EXPECT_EQ(call("URLCredential", "withUserAsync",
                 {Value("bob"), Value("x"), enumerationValue(UrlCredentialPersistence::none)}),
            ok(ref(65540)));
}

TEST_F(SecTrustTest, ChallengeResponsesCarryTheDispositionOrRefuseUnknown) {
  EXPECT_EQ(call("AuthenticationChallengeResponse", "createAsync",
                 {enumerationValue(UrlSessionAuthChallengeDisposition::useCredential), Value()}),
            ok(ref(65536)));
  auto announced = receivedOn("AuthenticationChallengeResponse.pigeon_newInstance");
  ASSERT_EQ(announced.size(), 1u);
  EXPECT_EQ(announced[0].message,
            Value(ValueList{Value(int64_t{65536}),
                            enumerationValue(UrlSessionAuthChallengeDisposition::useCredential),
                            Value()}));

  EXPECT_EQ(
      call("AuthenticationChallengeResponse", "pigeon_defaultConstructor",
           {id(7), enumerationValue(UrlSessionAuthChallengeDisposition::rejectProtectionSpace),
            Value()}),
      ok());
  auto response =
      std::dynamic_pointer_cast<AuthenticationChallengeResponse>(instances().lookupObject(7));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->disposition(), NSURLSessionAuthChallengeRejectProtectionSpace);

  Value unknown_error =
      failure("UnknownEnumError", Value("unknown doesn't represent a native value."));
  EXPECT_EQ(call("AuthenticationChallengeResponse", "pigeon_defaultConstructor",
                 {id(8), enumerationValue(UrlSessionAuthChallengeDisposition::unknown), Value()}),
            unknown_error);
  EXPECT_FALSE(instances().lookupObject(8));
  EXPECT_EQ(call("AuthenticationChallengeResponse", "createAsync",
                 {enumerationValue(UrlSessionAuthChallengeDisposition::unknown), Value()}),
            unknown_error);
}

}  // namespace
}  // namespace wkwebview_host::testing
