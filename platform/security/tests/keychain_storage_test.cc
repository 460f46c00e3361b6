// Where and how the keychain keeps its items: persistence, file modes, damaged or unsafe files.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "platform/foundation/testing/blocking_fifo.h"
#include "platform/foundation/testing/foundation_controls.h"
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

TEST_F(StorageTest, ChangesAnotherProgramsTriggersStopOrSkipAreNeverAnsweredAsDone) {
  ASSERT_EQ(add("kept", "old"), errSecSuccess);
  security::testing::closeKeychain();
  auto withTriggers = [&](const char* action) {
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(security::testing::keychainFilePath().c_str(), &database), SQLITE_OK);
    for (const char* change : {"INSERT", "UPDATE", "DELETE"}) {
      const std::string sql = std::string("DROP TRIGGER IF EXISTS stop_") + change +
                              "; CREATE TRIGGER stop_" + change + " BEFORE " + change +
                              " ON items BEGIN SELECT RAISE(" + action + "); END";
      ASSERT_EQ(sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_close(database);
    security::testing::closeKeychain();
  };
  for (const char* action : {"IGNORE", "ABORT, 'no'"}) {
    SCOPED_TRACE(action);
    withTriggers(action);
    EXPECT_EQ(add("new", "value"), errSecIO);
    EXPECT_EQ(SecItemUpdate({{kSecClass, kSecClassGenericPassword}, {kSecAttrAccount, "kept"}},
                            {{kSecValueData, bytes("changed")}}),
              errSecIO);
    EXPECT_EQ(SecItemDelete({{kSecClass, kSecClassGenericPassword}, {kSecAttrAccount, "kept"}}),
              errSecIO);
    EXPECT_EQ(readData({{kSecAttrAccount, "kept"}}), "old");
  }
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

// A "-journal" beside the keychain that is not a regular file is another program's, in the way
// for now, not a keychain that is not there: calls answer I/O errors, logged once with that
// file's name; a FIFO is never opened (it would wait for a writer) and nothing there is removed.
// SQLite cannot tell it from a journal it failed to open, so reads fail too rather than read a
// database that may be half-changed.
TEST_F(StorageTest, AJournalThatIsNotAFileIsAnIOErrorThatNamesItAndIsLeftThere) {
  for (bool fresh : {true, false}) {
    for (const char* kind : {"fifo", "directory"}) {
      SCOPED_TRACE(std::string(kind) + (fresh ? " beside a fresh keychain" : ""));
      const std::string directory = root_ + "/" + kind + (fresh ? "-fresh" : "");
      const std::string journal = directory + "/keychain.db-journal";
      security::testing::setKeychainDirectory(directory);
      if (!fresh) {
        ASSERT_EQ(add("kept", "value"), errSecSuccess);
        security::testing::closeKeychain();
      }
      std::filesystem::create_directories(directory);
      std::unique_ptr<foundation::testing::BlockingFifo> fifo;
      if (std::string(kind) == "fifo") {
        fifo = std::make_unique<foundation::testing::BlockingFifo>(journal);
        ASSERT_TRUE(fifo->created());
      } else {
        ASSERT_TRUE(std::filesystem::create_directory(journal));
      }
      foundation::testing::setLogCapture(true);
      EXPECT_EQ(add("new", "v"), errSecIO);
      EXPECT_EQ(add("new", "v"), errSecIO);
      OSStatus status = errSecSuccess;
      readData({{kSecAttrAccount, "kept"}}, &status);
      EXPECT_EQ(status, errSecIO);
      size_t naming = 0;
      for (const auto& line : foundation::testing::takeLogLines()) {
        EXPECT_EQ(line.find("keychain.db could not"), std::string::npos) << line;
        if (line.find(journal + " is not a regular file") != std::string::npos) ++naming;
      }
      foundation::testing::setLogCapture(false);
      EXPECT_EQ(naming, 1u);
      if (fifo) {
        EXPECT_FALSE(fifo->rescued()) << "the FIFO was opened for reading";
      }
      EXPECT_FALSE(std::filesystem::is_regular_file(journal));
      EXPECT_TRUE(std::filesystem::exists(journal)) << "it was removed";
      fifo.reset();
      std::filesystem::remove_all(journal);
      EXPECT_EQ(add("new", "v"), errSecSuccess);
      if (!fresh) {
        EXPECT_EQ(readData({{kSecAttrAccount, "kept"}}), "value");
      }
    }
  }
}

// A companion with a second name (a hard link, as "cp -al" or "rsync --link-dest" backups make)
// is another file as well: were it used, SQLite would write its journal, log or index into that
// file. It is in the way like a FIFO: an I/O error, logged once with its name, the other file
// left as it was, and the keychain as it was once the link is gone.
TEST_F(StorageTest, ACompanionWithAnotherNameIsAnIOErrorAndTheOtherFileIsKept) {
  const std::string precious(5000, 'p');
  for (const char* companion : {"-journal", "-wal", "-shm"}) {
    SCOPED_TRACE(companion);
    security::testing::setKeychainDirectory(root_ + "/" + companion);
    ASSERT_EQ(add("kept", "value"), errSecSuccess);
    security::testing::closeKeychain();
    const std::string file = security::testing::keychainFilePath();
    if (std::string(companion) != "-journal") {
      // Another program set the keychain to write-ahead logging, which it may.
      sqlite3* database = nullptr;
      ASSERT_EQ(sqlite3_open(file.c_str(), &database), SQLITE_OK);
      ASSERT_EQ(sqlite3_exec(database, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr),
                SQLITE_OK);
      sqlite3_close(database);
    }
    const std::string other = root_ + "/other" + companion;
    std::ofstream(other, std::ios::binary) << precious;
    ASSERT_EQ(::link(other.c_str(), (file + companion).c_str()), 0);

    foundation::testing::setLogCapture(true);
    EXPECT_EQ(add("new", std::string(20000, 'n')), errSecIO);
    EXPECT_EQ(add("new", std::string(20000, 'n')), errSecIO);
    size_t naming = 0;
    for (const auto& line : foundation::testing::takeLogLines()) {
      if (line.find(file + companion + " has another name") != std::string::npos) ++naming;
    }
    foundation::testing::setLogCapture(false);
    EXPECT_EQ(naming, 1u);
    EXPECT_TRUE(contentsOf(other) == precious) << "the other file was written";
    std::filesystem::remove(file + companion);
    EXPECT_EQ(readData({{kSecAttrAccount, "kept"}}), "value");
    EXPECT_EQ(add("new", "v"), errSecSuccess);
    security::testing::closeKeychain();
  }
}

// A symbolic link where the "-journal" goes is never followed (SQLite would write its journal
// into what it names): every call answers an I/O error, the cause is logged once with the
// link's name, and the link and what it names are left as they were.
TEST_F(StorageTest, ASymbolicLinkAtTheJournalIsAnIOErrorLoggedOnce) {
  // The keychain stays open, as in a running host.
  ASSERT_EQ(add("kept", "value"), errSecSuccess);
  const std::string journal = security::testing::keychainFilePath() + "-journal";
  const std::string other = root_ + "/other";
  const std::string precious(5000, 'p');
  std::ofstream(other, std::ios::binary) << precious;
  std::filesystem::create_symlink(other, journal);

  foundation::testing::setLogCapture(true);
  EXPECT_EQ(SecItemUpdate({{kSecClass, kSecClassGenericPassword}, {kSecAttrAccount, "kept"}},
                          {{kSecValueData, bytes("changed")}}),
            errSecIO);
  EXPECT_EQ(add("new", "v"), errSecIO);
  OSStatus status = errSecSuccess;
  readData({{kSecAttrAccount, "kept"}}, &status);
  EXPECT_EQ(status, errSecIO);
  EXPECT_EQ(add("new", "v"), errSecIO);
  size_t naming = 0;
  for (const auto& line : foundation::testing::takeLogLines()) {
    if (line.find(journal) != std::string::npos &&
        line.find("symbolic link") != std::string::npos) {
      ++naming;
    }
  }
  foundation::testing::setLogCapture(false);
  EXPECT_EQ(naming, 1u);
  EXPECT_TRUE(std::filesystem::is_symlink(journal));
  EXPECT_TRUE(contentsOf(other) == precious) << "what the link names was written";
  std::filesystem::remove(journal);
  EXPECT_EQ(readData({{kSecAttrAccount, "kept"}}), "value");
}

TEST_F(StorageTest, LooseModesAreTightenedAndForeignFilesAreRefusedUntouched) {
  ASSERT_EQ(add("a", "1"), errSecSuccess);
  security::testing::closeKeychain();
  const std::string file = security::testing::keychainFilePath();
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(directory_.c_str(), 0777), 0);
  EXPECT_EQ(readData({{kSecAttrAccount, "a"}}), "1");
  EXPECT_EQ(modeOf(directory_), 0700u);
  EXPECT_EQ(modeOf(file), 0600u);

  if (::geteuid() != 0) GTEST_SKIP() << "handing files to another user needs root";
  constexpr uid_t kStranger = 65534;
  auto expectRefusedUntouched = [&](const std::string& path, mode_t mode) {
    security::testing::closeKeychain();
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_EQ(::chown(path.c_str(), kStranger, kStranger), 0);
    std::string before = contentsOf(file);
    EXPECT_EQ(add("b", "2"), errSecIO) << path;
    OSStatus status;
    readData({{kSecAttrAccount, "a"}}, &status);
    EXPECT_EQ(status, errSecIO) << path;
    EXPECT_EQ(modeOf(path), mode) << path;
    struct stat owner {};
    ASSERT_EQ(::stat(path.c_str(), &owner), 0);
    EXPECT_EQ(owner.st_uid, kStranger) << path;
    EXPECT_TRUE(contentsOf(file) == before) << "the file changed";
    ASSERT_EQ(::chown(path.c_str(), ::geteuid(), ::getegid()), 0);
  };
  expectRefusedUntouched(file, 0644);
  expectRefusedUntouched(directory_, 0755);
  EXPECT_EQ(add("b", "2"), errSecSuccess);
  EXPECT_EQ(modeOf(directory_), 0700u);
  EXPECT_EQ(modeOf(file), 0600u);
}

}  // namespace
