// Secure storage at the system's limits: a value past a file-size limit is an error answered to
// its caller, the host runs on, nothing stored before is lost and no hot journal is left.
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/testing/system_limits.h"
#include "plugins/secure_store_darwin/tests/secure_store_fixture.h"

namespace {

using LimitsTest = SecureStoreFixture;

// Keys beginning with "s" are sealed.
flutter::ValueMap optionsFor(const std::string& key) {
  flutter::ValueMap options;
  if (key[0] == 's') options.set(flutter::Value("useSecureEnclave"), flutter::Value("true"));
  return options;
}

TEST_F(LimitsTest, AValuePastTheFileSizeLimitIsAnErrorAndLosesNothing) {
  for (int i = 0; i < 16; ++i) {
    ASSERT_TRUE(write("p" + std::to_string(i), "plain" + std::to_string(i)).isSuccess());
    ASSERT_TRUE(write("s" + std::to_string(i), "sealed" + std::to_string(i), sealed()).isSuccess());
  }
  std::vector<bool> failed;
  {
    foundation::testing::FileSizeLimit limit(1'000'000);
    ASSERT_TRUE(limit.active());
    const std::string big(2'000'000, 'x');
    failed.push_back(write("p3", big).isError());
    failed.push_back(write("s3", big, sealed()).isError());
    failed.push_back(write("new", big).isError());
  }
  EXPECT_EQ(failed, (std::vector<bool>{true, true, true}));
  for (bool reopened : {false, true}) {
    if (reopened) security::testing::closeKeychain();
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(read("p" + std::to_string(i)).value, Value("plain" + std::to_string(i)));
      EXPECT_EQ(read("s" + std::to_string(i), sealed()).value, Value("sealed" + std::to_string(i)));
    }
    EXPECT_EQ(read("new").value, Value());
  }
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(root_ + "/keychain")) {
    files.insert(entry.path().filename());
  }
  EXPECT_EQ(files, std::set<std::string>{"keychain.db"});
}

// The cause of a failed write, which SQLite does not keep, is logged with the keychain's file:
// once, however many writes it fails.
TEST_F(LimitsTest, TheCauseOfFailedWritesIsLoggedOnceWithTheKeychainsFile) {
  ASSERT_TRUE(write("p0", "plain").isSuccess());
  foundation::testing::setLogCapture(true);
  {
    foundation::testing::FileSizeLimit limit(1'000'000);
    ASSERT_TRUE(limit.active());
    const std::string big(2'000'000, 'x');
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(write("p0", big).isError());
      EXPECT_TRUE(write("s0", big, sealed()).isError());
    }
  }
  size_t named = 0;
  for (const auto& line : foundation::testing::takeLogLines()) {
    if (line.find("File too large (EFBIG)") == std::string::npos) continue;
    ++named;
    EXPECT_NE(line.find(root_ + "/keychain/keychain.db could not be written"), std::string::npos)
        << line;
  }
  foundation::testing::setLogCapture(false);
  EXPECT_EQ(named, 1u);
  EXPECT_EQ(read("p0").value, Value("plain"));
}

// The first sealed write of a service makes its hardware-held key and stores it; a key that
// cannot be stored for want of room is a disk error like any other write's, with its cause
// logged, and the write goes through once there is room.
TEST_F(LimitsTest, ASealedWriteWhoseNewKeyCannotBeStoredIsAnIOErrorWithItsCause) {
  ASSERT_TRUE(write("p0", "plain").isSuccess());
  foundation::testing::setLogCapture(true);
  {
    foundation::testing::FileSizeLimit limit(1);
    ASSERT_TRUE(limit.active());
    auto failed = write("s0", "sealed", sealed());
    EXPECT_EQ(failed.error.code, "Unexpected security result code") << failed.describe();
    EXPECT_EQ(failed.error.details, Value(int32_t{-36})) << failed.describe();
  }
  size_t named = 0;
  for (const auto& line : foundation::testing::takeLogLines()) {
    if (line.find(root_ + "/keychain/keychain.db could not be written: File too large (EFBIG)") !=
        std::string::npos) {
      ++named;
    }
  }
  foundation::testing::setLogCapture(false);
  EXPECT_EQ(named, 1u);
  ASSERT_TRUE(write("s0", "sealed", sealed()).isSuccess());
  EXPECT_EQ(read("s0", sealed()).value, Value("sealed"));
}

// A keychain file already larger than the file-size limit, the limit inside its last page: the
// system refuses to rewrite the file past the limit even though it would not grow. Stored values
// stay readable; each write is made whole, or is one error that changes nothing and leaves no
// journal; and writes work again once the limit allows.
TEST_F(LimitsTest, AKeychainAlreadyPastTheFileSizeLimitIsReadAndItsFailedWritesChangeNothing) {
  std::map<std::string, std::string> stored;
  const std::string filler(2'000, 'f');
  for (int i = 0; i < 16; ++i) {
    for (const char* kind : {"p", "s"}) {
      const std::string key = kind + std::to_string(i);
      ASSERT_TRUE(write(key, filler + key, optionsFor(key)).isSuccess());
      stored[key] = filler + key;
    }
  }
  const std::string path = root_ + "/keychain/keychain.db";
  ASSERT_GT(std::filesystem::file_size(path), 32'768u);
  auto expectAllThere = [&] {
    for (const auto& [key, value] : stored) {
      EXPECT_EQ(read(key, optionsFor(key)).value, Value(value)) << key;
    }
    EXPECT_EQ(read("new").value, Value());
  };
  int failures = 0;
  {
    foundation::testing::FileSizeLimit limit(std::filesystem::file_size(path) - 1'000);
    ASSERT_TRUE(limit.active());
    expectAllThere();
    for (auto& [key, value] : stored) {
      if (write(key, "changed", optionsFor(key)).isSuccess()) {
        value = "changed";
      } else {
        ++failures;
      }
      expectAllThere();
    }
    EXPECT_TRUE(write("new", std::string(20'000, 'n')).isError());
    expectAllThere();
  }
  EXPECT_GT(failures, 0);
  expectAllThere();
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(root_ + "/keychain")) {
    files.insert(entry.path().filename());
  }
  EXPECT_EQ(files, std::set<std::string>{"keychain.db"});
  ASSERT_TRUE(write("p15", "again").isSuccess());
  EXPECT_EQ(read("p15").value, Value("again"));
}

}  // namespace
