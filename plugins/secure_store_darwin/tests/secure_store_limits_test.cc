// Secure storage at the system's limits: a value past a file-size limit is an error answered to
// its caller, the host runs on, nothing stored before is lost and no hot journal is left.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/testing/system_limits.h"
#include "plugins/secure_store_darwin/tests/secure_store_fixture.h"

namespace {

using LimitsTest = SecureStoreFixture;

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

}  // namespace
