// The keychain's file shared with other hosts and programs: hosts that make a fresh keychain at
// the same moment, and a file removed or replaced under a running host.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/testing/system_limits.h"
#include "platform/security/tests/keychain_fixture.h"

namespace {

namespace fs = std::filesystem;
using SharingTest = KeychainFixture;

// A keychain_peer process, held at its start until go() is called.
class Peer {
 public:
  Peer(const std::string& directory, const std::string& account) {
    int start[2];
    if (::pipe2(start, O_CLOEXEC) != 0) return;
    std::string path = KEYCHAIN_PEER_PATH;
    std::vector<char*> argv = {path.data(), const_cast<char*>(directory.c_str()),
                               const_cast<char*>(account.c_str()), nullptr};
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls between fork and exec.
      if (::dup2(start[0], STDIN_FILENO) < 0) ::_exit(127);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(start[0]);
    start_ = start[1];
  }
  ~Peer() {
    if (start_ >= 0) ::close(start_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  void go() {
    char byte = 1;
    EXPECT_EQ(::write(start_, &byte, 1), 1);
  }
  // The peer's exit status, or -1 when it did not end within a minute.
  int finish() {
    for (int waited_ms = 0; waited_ms < 60'000; waited_ms += 10) {
      int status = 0;
      pid_t ended = ::waitpid(pid_, &status, WNOHANG);
      if (ended == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      ::poll(nullptr, 0, 10);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int start_ = -1;
};

TEST_F(SharingTest, HostsMakingAFreshKeychainAtOnceAllWriteToIt) {
  constexpr int kRounds = 6;
  constexpr int kHosts = 8;
  for (int round = 0; round < kRounds; ++round) {
    const std::string directory = root_ + "/fresh" + std::to_string(round);
    std::vector<std::unique_ptr<Peer>> peers;
    for (int host = 0; host < kHosts; ++host) {
      peers.push_back(std::make_unique<Peer>(directory, "host" + std::to_string(host)));
    }
    for (auto& peer : peers) peer->go();
    for (int host = 0; host < kHosts; ++host) {
      EXPECT_EQ(peers[host]->finish(), 0) << "round " << round << ", host " << host;
    }
    security::testing::setKeychainDirectory(directory);
    EXPECT_EQ(count({{kSecMatchLimit, kSecMatchLimitAll}}), size_t{kHosts}) << "round " << round;
  }
}

TEST_F(SharingTest, AKeychainFileRemovedOrReplacedIsFollowedAtItsPath) {
  ASSERT_EQ(add("a", "1"), errSecSuccess);
  const std::string file = security::testing::keychainFilePath();
  const std::string copy = root_ + "/copy.db";
  fs::copy_file(file, copy);
  ASSERT_EQ(add("b", "2"), errSecSuccess);

  // Another program puts an older copy in its place: this host reads what a restart would.
  fs::rename(copy, file);
  EXPECT_EQ(readData({{kSecAttrAccount, "a"}}), "1");
  OSStatus status = errSecSuccess;
  EXPECT_EQ(readData({{kSecAttrAccount, "b"}}, &status), std::nullopt);
  EXPECT_EQ(status, errSecItemNotFound);
  ASSERT_EQ(add("c", "3"), errSecSuccess);

  // The file is removed: the next call makes a fresh one there, and writes reach it.
  ASSERT_TRUE(fs::remove(file));
  EXPECT_EQ(readData({{kSecAttrAccount, "a"}}, &status), std::nullopt);
  EXPECT_EQ(status, errSecItemNotFound);
  ASSERT_EQ(add("d", "4"), errSecSuccess);
  ASSERT_TRUE(fs::exists(file));
  security::testing::closeKeychain();
  EXPECT_EQ(readData({{kSecAttrAccount, "d"}}), "4");
  EXPECT_EQ(count({{kSecMatchLimit, kSecMatchLimitAll}}), size_t{1});
}

TEST_F(SharingTest, WithNoDescriptorLeftCallsAnswerAnIOErrorAndTheKeychainStays) {
  ASSERT_EQ(add("a", "1"), errSecSuccess);
  security::testing::closeKeychain();
  std::vector<OSStatus> statuses;
  {
    foundation::testing::DescriptorsExhausted exhausted;
    ASSERT_TRUE(exhausted.active());
    statuses.push_back(add("b", "2"));
    OSStatus status = errSecSuccess;
    readData({{kSecAttrAccount, "a"}}, &status);
    statuses.push_back(status);
  }
  // "Not now", never "no keychain": the next call finds it as it was.
  EXPECT_EQ(statuses, (std::vector<OSStatus>{errSecIO, errSecIO}));
  EXPECT_EQ(readData({{kSecAttrAccount, "a"}}), "1");
  EXPECT_EQ(count({{kSecMatchLimit, kSecMatchLimitAll}}), size_t{1});
}

}  // namespace
