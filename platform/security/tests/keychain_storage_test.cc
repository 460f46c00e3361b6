// Where and how the keychain keeps its items: persistence, file modes, damaged or unsafe files.
#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "platform/security/tests/keychain_fixture.h"

namespace {

using StorageTest = KeychainFixture;

mode_t modeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status.st_mode & 0777;
}

std::string contentsOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST_F(StorageTest, ItemsOutliveTheOpenDatabaseInPrivateFiles) {
  ASSERT_EQ(add("kept", "value"), errSecSuccess);
  security::testing::closeKeychain();
  EXPECT_EQ(readData({{kSecAttrAccount, "kept"}}), "value");
  EXPECT_EQ(security::testing::keychainFilePath(), directory_ + "/keychain.db");
  EXPECT_EQ(modeOf(directory_), 0700u);
  EXPECT_EQ(modeOf(security::testing::keychainFilePath()), 0600u);
}

TEST_F(StorageTest, ADamagedDatabaseAnswersNotAvailableAndIsLeftAlone) {
  std::filesystem::create_directories(directory_);
  const std::string garbage(4096, 'x');
  std::ofstream(directory_ + "/keychain.db", std::ios::binary) << garbage;

  EXPECT_EQ(add("a", "1"), errSecNotAvailable);
  OSStatus status;
  readData({{kSecAttrAccount, "a"}}, &status);
  EXPECT_EQ(status, errSecNotAvailable);
  EXPECT_EQ(SecItemDelete({{kSecClass, kSecClassGenericPassword}}), errSecNotAvailable);
  EXPECT_EQ(SecItemUpdate({{kSecClass, kSecClassGenericPassword}}, {{kSecAttrLabel, "l"}}),
            errSecNotAvailable);
  EXPECT_EQ(contentsOf(directory_ + "/keychain.db"), garbage);
}

TEST_F(StorageTest, AForeignDatabaseOrASymbolicLinkIsNotUsed) {
  std::filesystem::create_directories(directory_);
  {
    // A sound SQLite database that this keychain did not write.
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open((directory_ + "/keychain.db").c_str(), &database), SQLITE_OK);
    sqlite3_exec(database, "CREATE TABLE other (x)", nullptr, nullptr, nullptr);
    sqlite3_close(database);
  }
  std::string before = contentsOf(directory_ + "/keychain.db");
  EXPECT_EQ(add("a", "1"), errSecNotAvailable);
  EXPECT_EQ(contentsOf(directory_ + "/keychain.db"), before);

  std::string linked = root_ + "/linked";
  std::filesystem::create_directories(root_ + "/target");
  std::filesystem::create_symlink(root_ + "/target", linked);
  security::testing::setKeychainDirectory(linked);
  EXPECT_EQ(add("a", "1"), errSecNotAvailable);
  EXPECT_FALSE(std::filesystem::exists(root_ + "/target/keychain.db"));
}

}  // namespace
