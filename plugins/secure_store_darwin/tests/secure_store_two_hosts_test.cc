// Two hosts on one keychain: this test's plug-in, driven through its channel, and another host's
// secure store, in a process of its own (secure_store_peer_main.cc) or on a thread of its own as
// that process's serial queue would run it (so that both can start each step together). Every
// operation on a sealed item must be one keychain transaction for the other host: no read sees
// half of a rewrite, and no acknowledged write is left stored but unreadable.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "plugins/secure_store_darwin/secure_store.h"
#include "plugins/secure_store_darwin/tests/secure_store_fixture.h"

namespace {

using secure_store_darwin::KeychainQueryParameters;
using secure_store_darwin::SecureStore;
using TwoHostsTest = SecureStoreFixture;

KeychainQueryParameters sealedParameters(const std::string& key) {
  KeychainQueryParameters parameters;
  parameters.key = key;
  parameters.useSecureEnclave = true;
  return parameters;
}

// Whether the key is readable exactly when it is stored.
void expectReadableWhenStored(const flutter::testing::MethodReply& contains,
                              const flutter::testing::MethodReply& read, const std::string& key) {
  ASSERT_TRUE(contains.isSuccess() && read.isSuccess()) << key;
  EXPECT_EQ(contains.value == flutter::Value(true), read.value.asString() != nullptr)
      << key << " is stored but reads " << read.value.debugString();
}

TEST_F(TwoHostsTest, AReadNeverSeesHalfOfAnotherHostsRewrite) {
  ASSERT_TRUE(write("k", "v0", sealed()).isSuccess());
  std::string peer = SECURE_STORE_PEER_PATH;
  std::string directory = root_ + "/keychain";
  std::string key = "k";
  std::string writes = "150";
  std::vector<char*> argv = {peer.data(), directory.data(), key.data(), writes.data(), nullptr};
  pid_t other = ::fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int reads = 0;
  int torn = 0;
  std::string first_torn;
  int status = 0;
  pid_t ended = 0;
  // Reads go on while the other host rewrites, for at most a minute.
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
       ended == 0 && std::chrono::steady_clock::now() < deadline;) {
    auto reply = read("k", sealed());
    ++reads;
    if (!reply.isSuccess() || reply.value.asString() == nullptr) {
      if (torn++ == 0) first_torn = reply.describe();
    }
    ended = ::waitpid(other, &status, WNOHANG);
  }
  if (ended == 0) {
    ::kill(other, SIGKILL);
    ::waitpid(other, &status, 0);
    FAIL() << "the other host did not finish within a minute";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other host's writes failed";
  EXPECT_EQ(torn, 0) << "of " << reads << " reads of a key that always exists, first "
                     << first_torn;
}

TEST_F(TwoHostsTest, DeletingAKeyWhileAnotherHostWritesItLeavesNothingUnreadable) {
  constexpr int kTrials = 60;
  std::barrier together(2);
  std::thread other([&] {
    SecureStore store;
    for (int i = 0; i < kTrials; ++i) {
      together.arrive_and_wait();
      store.writeItem(sealedParameters("x" + std::to_string(i)), "v");
    }
  });
  SecureStore own;
  for (int i = 0; i < kTrials; ++i) {
    ASSERT_TRUE(write("x" + std::to_string(i), "old", sealed()).isSuccess());
    together.arrive_and_wait();
    own.deleteItem(sealedParameters("x" + std::to_string(i)));
  }
  other.join();
  for (int i = 0; i < kTrials; ++i) {
    const std::string key = "x" + std::to_string(i);
    expectReadableWhenStored(call("containsKey", arguments(key, sealed())), read(key, sealed()),
                             key);
  }
}

TEST_F(TwoHostsTest, DeleteAllWhileAnotherHostWritesStrandsNoAcknowledgedWrite) {
  constexpr int kWrites = 300;
  std::atomic<bool> done = false;
  std::thread other([&] {
    SecureStore store;
    for (int i = 0; i < kWrites; ++i)
      store.writeItem(sealedParameters("w" + std::to_string(i)), "v");
    done = true;
  });
  while (!done) ASSERT_TRUE(call("deleteAll", arguments(std::nullopt, sealed())).isSuccess());
  other.join();
  auto all = call("readAll", arguments(std::nullopt, sealed()));
  ASSERT_TRUE(all.isSuccess());
  for (int i = 0; i < kWrites; ++i) {
    const std::string key = "w" + std::to_string(i);
    auto contains = call("containsKey", arguments(key, sealed()));
    auto value = read(key, sealed());
    expectReadableWhenStored(contains, value, key);
    const bool listed =
        all.value.asMap() != nullptr && all.value.asMap()->find(std::string_view(key)) != nullptr;
    EXPECT_EQ(listed, value.value.asString() != nullptr) << key;
  }
}

}  // namespace
