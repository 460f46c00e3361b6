// User defaults on disk: what is answered as stored or removed is on the disk, and an error
// leaves both the disk and what the process reads as they were.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/foundation/ns_user_defaults.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

namespace fs = std::filesystem;
using foundation::testing::FileSystemFault;

class UserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "user-defaults-test-XXXXXX").string();
    root = mkdtemp(pattern.data());
    foundation::testing::setUserDirectoriesRoot(root);
    foundation::testing::resetUserDefaults();
  }
  void TearDown() override {
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    foundation::testing::resetUserDefaults();
    fs::remove_all(root);
  }

  // What this process reads now, and what a restart reads.
  void expectDomain(const std::optional<PropertyList::Dictionary>& expected) {
    EXPECT_EQ(defaults->persistentDomainForName("suite"), expected);
    foundation::testing::resetUserDefaults();
    EXPECT_EQ(defaults->persistentDomainForName("suite"), expected);
  }

  std::string root;
  std::shared_ptr<NSUserDefaults> defaults = NSUserDefaults::initWithSuiteName("suite");
};

TEST_F(UserDefaultsTest, AChangeOrRemovalWhoseDirectoryIsNotFlushedFailsAndChangesNothing) {
  const PropertyList::Dictionary stored{{"k", PropertyList("old")}};
  ASSERT_TRUE(defaults->setPersistentDomain(stored, "suite"));
  for (FileSystemFault fault : {FileSystemFault::kDirectoryOpen, FileSystemFault::kDirectorySync}) {
    SCOPED_TRACE(static_cast<int>(fault));
    foundation::testing::injectFileSystemFault(fault);
    EXPECT_FALSE(defaults->setObject(PropertyList("new"), "k"));
    EXPECT_FALSE(foundation::testing::takeFileSystemFault(fault)) << "the change never met it";
    expectDomain(stored);

    foundation::testing::injectFileSystemFault(fault);
    EXPECT_FALSE(defaults->removePersistentDomainForName("suite"));
    EXPECT_FALSE(foundation::testing::takeFileSystemFault(fault)) << "the removal never met it";
    expectDomain(stored);
  }
  EXPECT_TRUE(defaults->removePersistentDomainForName("suite"));
  expectDomain(std::nullopt);
}

}  // namespace
