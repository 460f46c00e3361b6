// Trust evaluation over real chains made by a test authority.
#include "platform/security/sec_trust.h"

#include <gtest/gtest.h>

#include "platform/security/testing/test_certificate_authority.h"
#include "platform/security/testing/trust_controls.h"

namespace {

using security::testing::TestCertificateAuthority;

class SecTrustTest : public ::testing::Test {
 protected:
  ~SecTrustTest() override { security::testing::resetTrustControls(); }

  SecTrustRef trustFor(const security::testing::ServerChain& chain, const std::string& host) {
    SecTrustRef trust;
    EXPECT_EQ(SecTrustCreateWithCertificates({chain.leaf, chain.intermediate},
                                             SecPolicyCreateSSL(true, host), &trust),
              errSecSuccess);
    SecTrustSetAnchorCertificates(trust, {chain.root});
    return trust;
  }

  TestCertificateAuthority authority;
};

TEST_F(SecTrustTest, ChainsToAnAnchorWithTheRightNameAreTrusted) {
  auto chain = authority.issueServerChain("a.test");
  auto trust = trustFor(chain, "a.test");
  CFErrorRef error;
  EXPECT_TRUE(SecTrustEvaluateWithError(trust, &error));
  EXPECT_FALSE(error);
  SecTrustResultType result = kSecTrustResultInvalid;
  EXPECT_EQ(SecTrustGetTrustResult(trust, &result), errSecSuccess);
  EXPECT_EQ(result, kSecTrustResultUnspecified);

  auto certificates = SecTrustCopyCertificateChain(trust);
  ASSERT_TRUE(certificates);
  ASSERT_EQ(certificates->size(), 3u);
  EXPECT_EQ((*certificates)[0], chain.leaf);
  EXPECT_EQ((*certificates)[2], chain.root);
  EXPECT_EQ(SecTrustGetCertificateCount(trust), 3);
  EXPECT_FALSE(SecTrustGetCertificateAtIndex(trust, 3));
  EXPECT_EQ(chain.leaf->subjectSummary(), "a.test");
  EXPECT_EQ(SecCertificateCreateWithData(SecCertificateCopyData(chain.leaf))->derData(),
            chain.leaf->derData());
}

TEST_F(SecTrustTest, FailuresNameTheirReason) {
  auto expect_failure = [](const SecTrustRef& trust, OSStatus status, const std::string& text) {
    CFErrorRef error;
    EXPECT_FALSE(SecTrustEvaluateWithError(trust, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(CFErrorGetDomain(error), kCFErrorDomainOSStatus);
    EXPECT_EQ(CFErrorGetCode(error), status);
    EXPECT_EQ(CFErrorCopyDescription(error), text);
    SecTrustResultType result = kSecTrustResultInvalid;
    SecTrustGetTrustResult(trust, &result);
    EXPECT_EQ(result, kSecTrustResultRecoverableTrustFailure);
  };
  expect_failure(trustFor(authority.issueServerChain("a.test"), "b.test"), errSecHostNameMismatch,
                 "\u201ca.test\u201d certificate name does not match input");
  expect_failure(trustFor(authority.issueServerChain("old.test", -30, -1), "old.test"),
                 errSecCertificateExpired, "\u201cold.test\u201d certificate is expired");
  TestCertificateAuthority stranger("Stranger Root");
  auto chain = authority.issueServerChain("a.test");
  chain.root = stranger.issueServerChain("x.test").root;
  expect_failure(trustFor(chain, "a.test"), errSecNotTrusted,
                 "\u201ca.test\u201d certificate is not trusted");
}

TEST_F(SecTrustTest, AHostThatCannotBeCheckedFailsTheEvaluation) {
  auto chain = authority.issueServerChain("a.test");
  for (const std::string& host : {std::string(), std::string("a.test\0evil", 11),
                                  std::string("\0", 1), std::string("a.test\0", 7)}) {
    auto trust = trustFor(chain, host);
    CFErrorRef error;
    EXPECT_FALSE(SecTrustEvaluateWithError(trust, &error)) << host.size();
    ASSERT_TRUE(error);
    EXPECT_EQ(CFErrorGetCode(error), errSecHostNameMismatch);
    SecTrustResultType result = kSecTrustResultInvalid;
    SecTrustGetTrustResult(trust, &result);
    EXPECT_EQ(result, kSecTrustResultRecoverableTrustFailure);
  }
  // Without a policy host no name is checked.
  SecTrustRef unnamed;
  ASSERT_EQ(SecTrustCreateWithCertificates({chain.leaf, chain.intermediate},
                                           SecPolicyCreateSSL(true, std::nullopt), &unnamed),
            errSecSuccess);
  SecTrustSetAnchorCertificates(unnamed, {chain.root});
  EXPECT_TRUE(SecTrustEvaluateWithError(unnamed, nullptr));
}

TEST_F(SecTrustTest, ExceptionsAreKeyedByTheLeaf) {
  auto chain = authority.issueServerChain("a.test");
  auto failing = trustFor(chain, "b.test");
  auto exceptions = SecTrustCopyExceptions(failing);
  ASSERT_TRUE(exceptions);
  EXPECT_TRUE(SecTrustSetExceptions(failing, exceptions));
  EXPECT_TRUE(SecTrustEvaluateWithError(failing, nullptr));
  SecTrustResultType result = kSecTrustResultInvalid;
  SecTrustGetTrustResult(failing, &result);
  EXPECT_EQ(result, kSecTrustResultProceed);

  auto other = trustFor(authority.issueServerChain("a.test"), "b.test");
  EXPECT_FALSE(SecTrustSetExceptions(other, exceptions));
  EXPECT_FALSE(SecTrustSetExceptions(other, CFBytes{1, 2, 3}));
  EXPECT_FALSE(SecTrustEvaluateWithError(other, nullptr));
  EXPECT_TRUE(SecTrustSetExceptions(failing, std::nullopt));
  EXPECT_FALSE(SecTrustEvaluateWithError(failing, nullptr));
}

TEST_F(SecTrustTest, ControlsDecideOutcomeResultAndStatus) {
  auto trust = trustFor(authority.issueServerChain("a.test"), "a.test");
  auto error = CFErrorCreate("TestDomain", 7, {});
  security::testing::setTrustEvaluationOutcome(false, kSecTrustResultDeny, error);
  CFErrorRef given;
  EXPECT_FALSE(SecTrustEvaluateWithError(trust, &given));
  EXPECT_EQ(given, error);
  SecTrustResultType result = kSecTrustResultInvalid;
  SecTrustGetTrustResult(trust, &result);
  EXPECT_EQ(result, kSecTrustResultDeny);
  security::testing::setTrustResult(9, errSecParam);
  EXPECT_EQ(SecTrustGetTrustResult(trust, &result), errSecParam);
  EXPECT_EQ(static_cast<uint32_t>(result), 9u);
}

TEST_F(SecTrustTest, EmptyTrustsAndBadBytesAreRefusedCalmly) {
  SecTrustRef empty;
  EXPECT_EQ(SecTrustCreateWithCertificates({}, nullptr, &empty), errSecSuccess);
  EXPECT_FALSE(SecTrustEvaluateWithError(empty, nullptr));
  EXPECT_FALSE(SecTrustCopyCertificateChain(empty));
  EXPECT_FALSE(SecTrustCopyExceptions(empty));
  EXPECT_EQ(SecTrustGetCertificateCount(empty), 0);
  EXPECT_FALSE(SecCertificateCreateWithData({0x30, 0x03, 0x01}));
  EXPECT_FALSE(SecCertificateCreateWithData({}));
}

}  // namespace
