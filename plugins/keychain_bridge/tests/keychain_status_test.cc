// Status codes: the table, lookups, diagnostic lines and bridging.
#include "plugins/keychain_bridge/keychain_status.h"

#include <gtest/gtest.h>

#include <set>
#include <unordered_set>

#include "platform/security/cf_error.h"
#include "platform/security/sec_error_message.h"

namespace {

using keychain_bridge::Status;

std::string diagnosticLineOf(OSStatus code, Status* answered) {
  testing::internal::CaptureStdout();
  *answered = keychain_bridge::securityError(code);
  return testing::internal::GetCapturedStdout();
}

TEST(KeychainStatusTest, EveryCaseHasItsOwnCodeAndMessage) {
  const auto& cases = Status::allCases();
  ASSERT_EQ(cases.size(), 403u);
  std::set<OSStatus> codes;
  std::unordered_set<Status> hashed;
  for (Status status : cases) {
    EXPECT_TRUE(codes.insert(status.rawValue()).second) << status.rawValue();
    hashed.insert(status);
    EXPECT_EQ(Status::withRawValue(status.rawValue()), status);
    EXPECT_EQ(status.errorCode(), status.rawValue());
    if (status != Status::internalComponent) {
      EXPECT_FALSE(status.description().empty());
    }
  }
  EXPECT_EQ(hashed.size(), 403u);
  EXPECT_EQ(Status(Status::itemNotFound).rawValue(), -25300);
  EXPECT_EQ(Status(Status::duplicateItem).rawValue(), -25299);
  EXPECT_EQ(Status(Status::conversionError).rawValue(), -67594);
  EXPECT_EQ(Status(Status::invalidTupleCredendtials).description(),
            "The tuple credentials are not valid.");
  EXPECT_EQ(Status(Status::timestampRevocationNotification).rawValue(), -67898);
}

TEST(KeychainStatusTest, MessagesAreTheSystemsOwnForEveryPublishedCode) {
  for (Status status : Status::allCases()) {
    if (status == Status::unexpectedError) continue;
    EXPECT_EQ(SecCopyErrorMessageString(status.rawValue()), status.description())
        << status.rawValue();
  }
  // The library's own code is not the system's.
  EXPECT_EQ(SecCopyErrorMessageString(Status::unexpectedError), std::nullopt);
  EXPECT_EQ(Status(Status::io).description(), "I/O error (bummers)");
  EXPECT_EQ(SecCopyErrorMessageString(12345), std::nullopt);
}

TEST(KeychainStatusTest, UnknownCodesAreNoCaseOrTheUnexpectedError) {
  EXPECT_EQ(Status::withRawValue(-25300), Status::itemNotFound);
  EXPECT_EQ(Status::withRawValue(-99999), Status::unexpectedError);
  for (OSStatus unknown : {1, -1, -67584}) EXPECT_EQ(Status::withRawValue(unknown), std::nullopt);
  EXPECT_EQ(Status::withStatus(-67584), Status::unexpectedError);
}

TEST(KeychainStatusTest, FailuresWriteOneLineExceptWhenTheUserCancelled) {
  Status answered = Status::success;
  EXPECT_EQ(diagnosticLineOf(-128, &answered), "");
  EXPECT_EQ(answered, Status::userCanceled);
  EXPECT_EQ(diagnosticLineOf(-25299, &answered),
            "OSStatus error:[-25299] The specified item already exists in the keychain.\n");
  EXPECT_EQ(answered, Status::duplicateItem);
  EXPECT_EQ(diagnosticLineOf(12345, &answered),
            "OSStatus error:[-99999] Unexpected error has occurred.\n");
  EXPECT_EQ(answered, Status::unexpectedError);
  EXPECT_EQ(diagnosticLineOf(-2070, &answered), "OSStatus error:[-2070] \n");
}

TEST(KeychainStatusTest, BridgesToAnErrorOfTheLibrarysDomain) {
  NSError error = Status(Status::itemNotFound).nsError();
  EXPECT_EQ(error.domain, "com.quorvelkastimund.KeychainBridge.error");
  EXPECT_EQ(error.domain, keychain_bridge::KeychainBridgeErrorDomain);
  EXPECT_EQ(error.code, -25300);
  EXPECT_EQ(error.localizedDescription, "The specified item could not be found in the keychain.");
  EXPECT_EQ(Status(Status::internalComponent).errorUserInfo(),
            (CFDictionary{{kCFErrorLocalizedDescriptionKey, ""}}));
}

}  // namespace
