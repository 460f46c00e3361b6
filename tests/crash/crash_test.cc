// Writes answered as success survive a crash. A writer process (crash_writer_main.cc) hammers
// preferences, database transactions and keychain writes, plain and sealed, through the real
// plug-ins, and is killed with SIGKILL at a random point, again and again over the same files.
// After each kill every logged write must be there, and every file must open clean: SQLite's
// integrity check passes, the preferences parse, the keychain opens and reads back. Four writers
// run side by side, each over a database and a keychain of its own and all four over one
// preferences domain, as hosts started together on the same folders would.
//
// The run is made twice: on memory-backed files (a kill keeps what reached the page cache, so
// it tests the same as a disk without waiting on one) and on a real disk, where every flush is
// made and can be slow or fail.
//
// A third run is made at the system's limits (crash_writer_main.cc, CRASH_WRITER_LIMITS): a
// file-size limit past which each writer tries every store, and a low descriptor limit whose
// every descriptor it takes now and then. There too nothing logged is lost, no sound file is set
// aside, no hot journal outlives the next open and temporaries do not pile up.
//
// CRASH_TEST_SEED=<n> replays a run; CRASH_TEST_ROUNDS=<n> runs more rounds than CI's 5 (of
// four kills each).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/property_list.h"
#include "platform/security/testing/security_controls.h"
#include "plugins/secure_store_darwin/secure_store_darwin_plugin.h"
#include "tests/crash/crash_log.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using crash_test::LoggedWrite;
using flutter::Value;
using flutter::ValueMap;

constexpr std::chrono::seconds kRoundTimeout{60};
// A kill comes after this many logged writes at most (seven make one round of the writer).
constexpr int kMostWritesBeforeKill = 16;

uint64_t seed() {
  if (const char* given = std::getenv("CRASH_TEST_SEED")) return std::strtoull(given, nullptr, 10);
  return std::random_device{}();
}

int rounds() {
  const char* given = std::getenv("CRASH_TEST_ROUNDS");
  return given != nullptr ? std::atoi(given) : 5;
}

constexpr int kWorkspaces = 4;

// The last number logged for each key, by kind.
using Expected = std::map<char, std::map<std::string, int64_t>>;

enum class Medium { kMemory, kDisk };

bool isMemoryBacked(const fs::path& path) {
  struct statfs info {};
  if (::statfs(path.c_str(), &info) != 0) return true;
  return info.f_type == TMPFS_MAGIC || info.f_type == RAMFS_MAGIC;
}

// Where the writers' files go; nullopt when there is no disk to be found.
std::optional<fs::path> baseFor(Medium medium) {
  if (medium == Medium::kMemory) {
    return fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  }
  for (const fs::path& candidate : {fs::temp_directory_path(), fs::path(CRASH_TEST_DISK_DIR)}) {
    if (!isMemoryBacked(candidate)) return candidate;
  }
  return std::nullopt;
}

// A new directory beneath `base`, removed with everything in it.
class TemporaryDirectory {
 public:
  explicit TemporaryDirectory(const fs::path& base) {
    std::string pattern = (base / "crash-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TemporaryDirectory() { fs::remove_all(path_); }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The stored number for a key written once must be the logged one; one written again may also
// hold a later number, from the write in flight at the kill.
void expectNumber(char kind, const std::string& key, int64_t logged,
                  const std::optional<std::string>& stored) {
  ASSERT_TRUE(stored.has_value()) << kind << " " << key << " (logged " << logged << ") is lost";
  int64_t number = std::strtoll(stored->c_str(), nullptr, 10);
  if (crash_test::isRewritten(key)) {
    EXPECT_GE(number, logged) << kind << " " << key << " went back to an older value";
  } else {
    EXPECT_EQ(number, logged) << kind << " " << key;
  }
}

// The one preferences file beneath `config` holds every preference any writer logged.
void checkPreferences(const std::string& config, const std::map<std::string, int64_t>& expected) {
  if (expected.empty()) return;
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(config)) {
    if (entry.is_regular_file() && entry.path().extension() == ".plist") files.push_back(entry);
  }
  ASSERT_EQ(files.size(), 1u) << "not one preferences file";
  auto parsed = PropertyList::readFile(files[0]);
  ASSERT_TRUE(parsed && parsed->asDictionary()) << files[0] << " does not parse";
  for (const auto& [key, number] : expected) {
    const PropertyList* value = parsed->find(key);
    std::optional<std::string> text;
    if (value != nullptr && value->asString() != nullptr) text = *value->asString();
    expectNumber('P', key, number, text);
  }
}

// One writer's files (its preferences are in the shared `config` folder) and what it was told
// had been stored.
class Workspace {
 public:
  Workspace(const fs::path& base, std::string config, std::string name, bool atLimits)
      : directory_(base),
        config_(std::move(config)),
        name_(std::move(name)),
        root_(directory_.path()),
        at_limits_(atLimits) {}
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  const std::map<std::string, int64_t>& preferences() { return expected_['P']; }

  // Runs a writer from `first`, kills it once it has logged `killAfter` writes (plus a random
  // moment within the next one), and adds what it logged to `expected`.
  void runAndKill(int64_t first, int killAfter, std::chrono::microseconds jitter) {
    fs::create_directories(root_ + "/Documents");
    int log[2];
    ASSERT_EQ(::pipe2(log, O_CLOEXEC), 0);
    std::vector<std::string> arguments = {CRASH_WRITER_PATH, std::to_string(first), name_};
    std::vector<std::string> environment = writerEnvironment();
    std::vector<char*> argv, envp;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    for (auto& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Only async-signal-safe calls between fork and exec.
      if (::dup2(log[1], crash_test::kLogDescriptor) < 0) ::_exit(127);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(log[1]);

    std::string pending;
    int logged = 0;
    bool killed = false;
    auto deadline = std::chrono::steady_clock::now() + kRoundTimeout;
    while (true) {
      if (!killed && logged >= killAfter) {
        ::usleep(static_cast<useconds_t>(jitter.count()));
        ::kill(child, SIGKILL);
        killed = true;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd readable{log[0], POLLIN, 0};
      if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(log[0]);
        FAIL() << "the writer logged " << logged << " writes, then nothing within the bound";
      }
      char buffer[4096];
      ssize_t size = ::read(log[0], buffer, sizeof buffer);
      if (size <= 0) break;  // every write end is closed: the writer is gone
      pending.append(buffer, static_cast<size_t>(size));
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        if (auto write = crash_test::parseWrite(pending.substr(0, end))) {
          expected_[write->kind][write->key] = write->number;
          ++logged;
        }
        pending.erase(0, end + 1);
      }
    }
    ::close(log[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the writer ended by itself (status " << status << ") after " << logged
        << " writes; its error is above";
  }

  // Opened whenever it exists, so that a journal left by a kill is played back.
  void checkDatabase() {
    std::string path = findFile([](const fs::path& file) { return file.filename() == "crash.db"; });
    if (expected_['D'].empty() && path.empty()) return;
    ASSERT_FALSE(path.empty()) << "no database file";
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(database, sqlite3_close_v2);
    std::vector<std::string> verdicts;
    std::set<std::string> rows;
    auto collect = [](void* into, int, char** columns, char**) {
      static_cast<std::vector<std::string>*>(into)->push_back(columns[0] ? columns[0] : "");
      return 0;
    };
    ASSERT_EQ(sqlite3_exec(database, "PRAGMA integrity_check", collect, &verdicts, nullptr),
              SQLITE_OK);
    EXPECT_EQ(verdicts, std::vector<std::string>{"ok"});
    std::vector<std::string> keys;
    ASSERT_EQ(sqlite3_exec(database, "SELECT k FROM t", collect, &keys, nullptr), SQLITE_OK);
    rows.insert(keys.begin(), keys.end());
    for (const auto& [key, number] : expected_['D']) {
      EXPECT_TRUE(rows.count(key + "a") && rows.count(key + "b")) << "rows " << key << " are lost";
    }
    // A transaction is whole: never one of its rows without the other.
    for (const auto& row : rows) {
      std::string twin = row.substr(0, row.size() - 1) + (row.back() == 'a' ? "b" : "a");
      EXPECT_TRUE(rows.count(twin)) << "row " << row << " without " << twin;
    }
  }

  // No hot journal (one that begins with SQLite's journal header) is left beside a database
  // once it was opened again; an empty or zeroed one, which a kill can leave, is never played.
  void checkNoHotJournal() {
    static constexpr unsigned char kJournalMagic[] = {0xd9, 0xd5, 0x05, 0xf9,
                                                      0x20, 0xa1, 0x63, 0xd7};
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      if (!entry.path().filename().string().ends_with("-journal")) continue;
      std::ifstream journal(entry.path(), std::ios::binary);
      unsigned char header[sizeof kJournalMagic] = {};
      journal.read(reinterpret_cast<char*>(header), sizeof header);
      EXPECT_FALSE(journal.gcount() == sizeof header &&
                   std::equal(std::begin(header), std::end(header), std::begin(kJournalMagic)))
          << entry.path() << " is a hot journal";
    }
  }

  void checkKeychain() {
    std::string path =
        findFile([](const fs::path& file) { return file.filename() == "keychain.db"; });
    if (expected_['K'].empty() && expected_['S'].empty() && path.empty()) return;
    ASSERT_FALSE(path.empty()) << "no keychain file";
    security::testing::setKeychainDirectory(fs::path(path).parent_path().string());
    auto engine = FlutterEngine::create();
    {
      flutter::testing::TestDartSide dart(engine);
      secure_store_darwin::SecureStoreDarwinPlugin::registerWithRegistrar(
          dart.registrar("SecureStoreDarwinPlugin"));
      for (auto [kind, service, sealed] : {std::tuple{'K', crash_test::kPlainService, false},
                                           std::tuple{'S', crash_test::kSealedService, true}}) {
        auto secrets = listSecrets(dart, service, sealed);
        for (const auto& [key, number] : expected_[kind]) {
          auto found = secrets.find(key);
          expectNumber(kind, key, number,
                       found == secrets.end() ? std::nullopt : std::optional(found->second));
        }
      }
      dart.drain();
    }
    engine->shutDown();
    security::testing::closeKeychain();
  }

 private:
  // The writer's environment: every per-user directory beneath the test's folder.
  std::vector<std::string> writerEnvironment() const {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      std::string text = *entry;
      size_t equals = text.find('=');
      if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    variables["HOME"] = root_;
    variables["XDG_CONFIG_HOME"] = config_;
    variables["XDG_DATA_HOME"] = root_ + "/data";
    variables["XDG_CACHE_HOME"] = root_ + "/cache";
    variables["XDG_DOCUMENTS_DIR"] = root_ + "/Documents";
    if (at_limits_) variables["CRASH_WRITER_LIMITS"] = "1";
    std::vector<std::string> environment;
    for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
    return environment;
  }

  // The one file of that name beneath the test's folder; "" when there is none.
  std::string findFile(const std::function<bool(const fs::path&)>& wanted) const {
    std::string found;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      if (entry.is_regular_file() && wanted(entry.path())) {
        EXPECT_TRUE(found.empty()) << "two candidates: " << found << ", " << entry.path();
        found = entry.path().string();
      }
    }
    return found;
  }

  // Every secret of a service, as the Dart side lists them.
  std::map<std::string, std::string> listSecrets(flutter::testing::TestDartSide& dart,
                                                 const char* service, bool sealed) {
    ValueMap options{{Value("accountName"), Value(service)}};
    if (sealed) options.set(Value("useSecureEnclave"), Value("true"));
    auto reply = dart.invokeMethod(secure_store_darwin::kMethodChannelName, "readAll",
                                   Value(ValueMap{{Value("options"), Value(std::move(options))}}));
    EXPECT_TRUE(reply.isSuccess()) << "the keychain does not open: " << reply.describe();
    std::map<std::string, std::string> secrets;
    if (const ValueMap* entries = reply.value.asMap()) {
      for (const auto& [key, value] : *entries) {
        if (key.asString() && value.asString()) secrets[*key.asString()] = *value.asString();
      }
    }
    return secrets;
  }

  TemporaryDirectory directory_;
  std::string config_;
  std::string name_;
  std::string root_;
  bool at_limits_;
  Expected expected_;
};

// Nothing sound was set aside, and the temporaries of killed writers are swept by the next ones:
// at most one per writer of the last round is left.
void checkPreferencesFolder(const std::string& config) {
  int temporaries = 0;
  for (const auto& entry : fs::recursive_directory_iterator(config)) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(name.find(".corrupt"), std::string::npos) << entry.path() << " was set aside";
    if (name.find(".plist.tmp") != std::string::npos) ++temporaries;
  }
  EXPECT_LE(temporaries, kWorkspaces);
}

// Rounds of kills of four writers side by side, with a check of every file after each.
void runRounds(const fs::path& base, bool atLimits, int roundCount) {
  uint64_t run_seed = seed();
  std::mt19937_64 random(run_seed);
  SCOPED_TRACE("CRASH_TEST_SEED=" + std::to_string(run_seed) + ", files in " + base.string());
  std::uniform_int_distribution<int> writes(1, kMostWritesBeforeKill);
  std::uniform_int_distribution<int> jitter_us(0, 3000);
  TemporaryDirectory config(base);
  std::vector<std::unique_ptr<Workspace>> workspaces;
  for (int index = 0; index < kWorkspaces; ++index) {
    workspaces.push_back(
        std::make_unique<Workspace>(base, config.path(), "w" + std::to_string(index), atLimits));
  }
  for (int round = 0; round < roundCount; ++round) {
    std::vector<std::thread> writers;
    for (int index = 0; index < kWorkspaces; ++index) {
      int64_t first = (int64_t{round} * kWorkspaces + index) * 1000000;
      int kill_after = writes(random);
      auto jitter = std::chrono::microseconds(jitter_us(random));
      writers.emplace_back([&workspace = *workspaces[index], first, kill_after, jitter] {
        workspace.runAndKill(first, kill_after, jitter);
      });
    }
    for (auto& writer : writers) writer.join();
    if (::testing::Test::HasFailure()) return;
    SCOPED_TRACE("round " + std::to_string(round));
    std::map<std::string, int64_t> preferences;
    for (auto& workspace : workspaces) {
      preferences.insert(workspace->preferences().begin(), workspace->preferences().end());
    }
    checkPreferences(config.path(), preferences);
    checkPreferencesFolder(config.path());
    // The checks open the files in this process, one workspace at a time: the keychain's
    // location is process-wide.
    for (int index = 0; index < kWorkspaces; ++index) {
      SCOPED_TRACE("workspace " + std::to_string(index));
      workspaces[index]->checkDatabase();
      workspaces[index]->checkKeychain();
      workspaces[index]->checkNoHotJournal();
    }
    if (::testing::Test::HasFailure()) return;
  }
  security::testing::setKeychainDirectory(std::nullopt);
}

class CrashTest : public ::testing::TestWithParam<Medium> {};

TEST_P(CrashTest, WritesAnsweredAsSuccessSurviveAKillAndEveryFileOpensClean) {
  std::optional<fs::path> base = baseFor(GetParam());
  if (!base) GTEST_SKIP() << "no directory on a disk; point TMPDIR at one";
  runRounds(*base, false, rounds());
}

TEST(CrashAtLimitsTest, AtAFileSizeAndADescriptorLimitNothingLoggedIsLostOrSetAside) {
  // Each round is slower here (2 MB values and a round without descriptors per number): three
  // of CI's five.
  runRounds(*baseFor(Medium::kMemory), true, std::max(1, rounds() - 2));
}

INSTANTIATE_TEST_SUITE_P(Media, CrashTest, ::testing::Values(Medium::kMemory, Medium::kDisk),
                         [](const ::testing::TestParamInfo<Medium>& info) {
                           return info.param == Medium::kMemory ? "Memory" : "Disk";
                         });

}  // namespace
