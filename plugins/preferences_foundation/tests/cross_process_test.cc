// Two hosts on the same folders: this test process and a peer process (preferences_peer_main.cc)
// change the same domain. Every change answered as stored must stay, and each host must read the
// other's changes.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/preferences_foundation/preferences_plugin.h"

namespace preferences_foundation {
namespace {

namespace fs = std::filesystem;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

const std::string kApi = "dev.flutter.pigeon.preferences_foundation.UserDefaultsApi.";
const std::string kLegacy = "dev.flutter.pigeon.preferences_foundation.LegacyUserDefaultsApi.";
constexpr auto kPeerTimeout = std::chrono::seconds(60);

Value options() { return Value(std::make_shared<PreferencesPigeonOptions>()); }

// A user without privileges for a peer to run as, as `setpriv` would start a host.
struct Unprivileged {
  uid_t uid;
  gid_t gid;
};

// The peer process, its standard output read through a pipe; run as `user` when given.
class PeerProcess {
 public:
  PeerProcess(const std::string& root, const std::string& bundle, std::vector<std::string> command,
              std::optional<Unprivileged> user = std::nullopt) {
    std::vector<std::string> arguments = {PREFERENCES_PEER_PATH, root, bundle};
    arguments.insert(arguments.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls between fork and exec.
      if (::dup2(output[1], STDOUT_FILENO) < 0) ::_exit(127);
      if (user &&
          (::setgroups(0, nullptr) != 0 || ::setresgid(user->gid, user->gid, user->gid) != 0 ||
           ::setresuid(user->uid, user->uid, user->uid) != 0)) {
        ::_exit(126);
      }
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(output[1]);
    output_ = output[0];
  }
  ~PeerProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
  }

  // Waits until the peer said "ready"; false if it did not within the bound.
  bool waitUntilReady() {
    return readUntil([&] { return text_.find("ready\n") != std::string::npos; });
  }

  const std::string& output() const { return text_; }

  // Waits for the peer to end; its exit status, or -1 when it did not end within the bound.
  int finish() {
    if (!readUntil([] { return false; })) return -1;
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  // Reads the peer's output until `done` or its end; false on neither within the bound.
  template <typename Done>
  bool readUntil(Done done) {
    auto deadline = std::chrono::steady_clock::now() + kPeerTimeout;
    while (!done()) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd readable{output_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
        return false;
      }
      char buffer[256];
      ssize_t size = ::read(output_, buffer, sizeof buffer);
      if (size <= 0) return true;  // the peer is gone
      text_.append(buffer, static_cast<size_t>(size));
    }
    return true;
  }

  pid_t pid_ = -1;
  int output_ = -1;
  std::string text_;
};

class CrossProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "prefs-peers-XXXXXX").string();
    root = mkdtemp(pattern.data());
    bundle = root + "/App.app";
    fs::create_directories(bundle + "/Contents");
    PropertyList(
        PropertyList::Dictionary{{"CFBundleIdentifier", PropertyList("com.example.peers")}})
        .writeFile(bundle + "/Contents/Info.plist", PropertyList::Format::xml);
    foundation::testing::setUserDirectoriesRoot(root);
    foundation::testing::setMainBundlePath(bundle);
    foundation::testing::resetUserDefaults();
    PreferencesPlugin::registerWithRegistrar(dart.registrar("PreferencesPlugin"));
  }
  void TearDown() override {
    foundation::testing::setMainBundlePath(std::nullopt);
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    foundation::testing::resetUserDefaults();
    fs::remove_all(root);
  }

  // Runs the peer with `command` to its end; fails the test unless every change was stored.
  void runPeer(std::vector<std::string> command) {
    PeerProcess peer(root, bundle, std::move(command));
    EXPECT_EQ(peer.finish(), 0) << "the peer's changes were not all stored";
  }

  Value ok(const std::string& channel, ValueList arguments) {
    auto reply = dart.sendMessage(channel, Value(std::move(arguments)), GetMessagesCodec());
    EXPECT_TRUE(reply && reply->asList() && reply->asList()->size() == 1)
        << channel << ": " << (reply ? reply->debugString() : "no reply");
    return reply && reply->asList() && reply->asList()->size() == 1 ? (*reply->asList())[0]
                                                                    : Value();
  }
  Value get(const std::string& key) { return ok(kApi + "getValue", {Value(key), options()}); }
  void set(const std::string& key, const std::string& value) {
    ok(kApi + "set", {Value(key), Value(value), options()});
  }

  std::string root;
  std::string bundle;
  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  flutter::testing::TestDartSide dart{engine};
};

TEST_F(CrossProcessTest, ChangesOfAnotherHostAreReadAndNeverWrittenOver) {
  set("k_a", "a");
  runPeer({"set", "k_b", "b"});
  EXPECT_EQ(get("k_b"), Value("b"));
  set("k_c", "c");
  const ValueMap all{
      {Value("k_a"), Value("a")}, {Value("k_b"), Value("b")}, {Value("k_c"), Value("c")}};
  EXPECT_EQ(ok(kApi + "getAll", {Value(), options()}), Value(all));

  runPeer({"remove", "k_a"});
  EXPECT_EQ(get("k_a"), Value());
  EXPECT_EQ(ok(kLegacy + "getAll", {Value("k_"), Value()}),
            Value(ValueMap{{Value("k_b"), Value("b")}, {Value("k_c"), Value("c")}}));
  EXPECT_EQ(ok(kApi + "getKeys", {Value(), options()}),
            Value(ValueList{Value("k_b"), Value("k_c")}));

  // A restart reads what both hosts were told had been stored.
  foundation::testing::resetUserDefaults();
  EXPECT_EQ(ok(kApi + "getAll", {Value(), options()}),
            Value(ValueMap{{Value("k_b"), Value("b")}, {Value("k_c"), Value("c")}}));
}

TEST_F(CrossProcessTest, HostsWritingAtTheSameTimeLoseNoChange) {
  constexpr int kKeys = 60;
  PeerProcess peer(root, bundle, {"set-many", "peer", std::to_string(kKeys)});
  ASSERT_TRUE(peer.waitUntilReady());
  for (int i = 0; i < kKeys; ++i) set("own" + std::to_string(i), std::to_string(i));
  ASSERT_EQ(peer.finish(), 0);

  auto expectEveryKey = [&] {
    Value all = ok(kApi + "getAll", {Value(), options()});
    ASSERT_NE(all.asMap(), nullptr);
    EXPECT_EQ(all.asMap()->size(), size_t{2 * kKeys});
    for (int i = 0; i < kKeys; ++i) {
      for (const char* prefix : {"own", "peer"}) {
        const Value* value = all.asMap()->find(std::string_view(prefix + std::to_string(i)));
        EXPECT_TRUE(value != nullptr && *value == Value(std::to_string(i))) << prefix << i;
      }
    }
  };
  expectEveryKey();
  foundation::testing::resetUserDefaults();
  expectEveryKey();
}

TEST_F(CrossProcessTest, AHostThatKeepsTheLockCostsAnErrorNeverAHang) {
  set("k", "old");
  const std::string lock_file =
      root + "/.config/com.example.peers/preferences/.com.example.peers.plist.lock";
  // Another host stopped while it holds the lock.
  int holder = ::open(lock_file.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  auto started = std::chrono::steady_clock::now();
  auto reply = dart.sendMessage(kApi + "set", Value(ValueList{Value("k"), Value("new"), options()}),
                                GetMessagesCodec());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  ASSERT_TRUE(reply && reply->asList() && reply->asList()->size() == 3);
  EXPECT_EQ((*reply->asList())[0], Value("Write Error"));
  // Reading never waits for the lock, not even on a domain's first use.
  foundation::testing::resetUserDefaults();
  started = std::chrono::steady_clock::now();
  EXPECT_EQ(get("k"), Value("old"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  ::close(holder);
  set("k", "new");

  // A lock file that is a FIFO is refused at once, never waited on.
  ASSERT_EQ(::unlink(lock_file.c_str()), 0);
  ASSERT_EQ(::mkfifo(lock_file.c_str(), 0600), 0);
  reply = dart.sendMessage(kApi + "set", Value(ValueList{Value("k"), Value("fifo"), options()}),
                           GetMessagesCodec());
  ASSERT_TRUE(reply && reply->asList() && reply->asList()->size() == 3);
  EXPECT_EQ((*reply->asList())[0], Value("Write Error"));
  EXPECT_EQ(get("k"), Value("new"));
}

TEST_F(CrossProcessTest, AFileTheHostMayNotReadIsAReadErrorAndStaysWhereItIs) {
  // Root reads whatever the modes say: the host runs as a user without privileges.
  std::optional<Unprivileged> user;
  if (::geteuid() == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "no unprivileged user to run the peer as";
    user = Unprivileged{nobody->pw_uid, nobody->pw_gid};
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      ASSERT_EQ(::lchown(entry.path().c_str(), user->uid, user->gid), 0);
    }
    ASSERT_EQ(::chown(root.c_str(), user->uid, user->gid), 0);
  }
  auto peer = [&](std::vector<std::string> command) {
    PeerProcess process(root, bundle, std::move(command), user);
    int status = process.finish();
    return std::make_pair(status, process.output());
  };
  std::vector<std::string> sixteen = {"set"};
  for (int i = 0; i < 16; ++i) {
    sixteen.push_back("k" + std::to_string(i));
    sixteen.push_back(std::to_string(i));
  }
  const int stored = peer(sixteen).first;
  // 127: the peer could not be started as that user, e.g. from a checkout in a folder only root
  // may enter.
  if (user && stored == 127) GTEST_SKIP() << "the peer's executable cannot be run as nobody here";
  ASSERT_EQ(stored, 0);
  const std::string folder = root + "/.config/com.example.peers/preferences";
  const std::string file = folder + "/com.example.peers.plist";
  ASSERT_TRUE(fs::exists(file));

  ASSERT_EQ(::chmod(file.c_str(), 0), 0);
  auto [status, output] = peer({"get", "k3"});
  EXPECT_EQ(status, 4) << output;
  EXPECT_NE(output.find("Read Error"), std::string::npos) << output;
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().filename().string().find(".corrupt"), std::string::npos) << entry.path();
  }
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  std::tie(status, output) = peer({"get", "k3"});
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("\"3\""), std::string::npos) << output;
}

TEST_F(CrossProcessTest, AChangeWaitingForTheLockLeavesEveryOtherChannelAnswering) {
  set("k", "old");
  engine->binaryMessenger()->setMessageHandlerOnChannel(
      "test.ping",
      [](FlutterBinaryMessage message, FlutterBinaryReply reply) { reply(std::move(message)); });
  const std::string lock_file =
      root + "/.config/com.example.peers/preferences/.com.example.peers.plist.lock";
  int holder = ::open(lock_file.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);

  const auto& codec = GetMessagesCodec();
  auto started = std::chrono::steady_clock::now();
  auto change = dart.sendBinary(
      kApi + "set", codec->encode(Value(ValueList{Value("k"), Value("new"), options()})));
  auto read =
      dart.sendBinary(kLegacy + "getAll", codec->encode(Value(ValueList{Value("k"), Value()})));
  auto ping = dart.sendBinary("test.ping", FlutterBytes{1});
  ping.wait(std::chrono::milliseconds(100));
  EXPECT_TRUE(ping.ready());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));
  EXPECT_FALSE(change.ready());
  EXPECT_FALSE(read.ready());

  // Once the other host lets go, the change is made, and the read sent after it sees it.
  ::close(holder);
  auto read_reply = read.wait();
  EXPECT_TRUE(change.ready()) << "answered after a call sent later";
  auto change_reply = change.wait();
  ASSERT_TRUE(change_reply && read_reply);
  Value changed = codec->decode(*change_reply);
  Value read_back = codec->decode(*read_reply);
  EXPECT_EQ(changed, Value(ValueList{Value()})) << changed.debugString();
  EXPECT_EQ(read_back, Value(ValueList{Value(ValueMap{{Value("k"), Value("new")}})}))
      << read_back.debugString();
}

}  // namespace
}  // namespace preferences_foundation
