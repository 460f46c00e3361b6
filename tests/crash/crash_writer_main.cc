// A host-like process for the crash test: it drives the real preference, database and secure
// storage plug-ins through their channels, as the Dart side would, writing as fast as it can, and
// logs each write to descriptor 3 once it was answered as success (crash_log.h). Its files are
// wherever HOME and the XDG variables point; other writers may share them. It runs until it is
// killed, a write fails (exit 2), or the log is gone (exit 3).
//
// With CRASH_WRITER_LIMITS=1 in its environment it runs at the system's limits: a file-size
// limit of 1 MB (SIGXFSZ ignored, as the host ignores it) and a descriptor limit a few above what
// it holds. Each round then also writes a 2 MB value to every store, which must fail (exit 2 if
// one is answered as stored), and every other round takes every descriptor left and, meanwhile,
// reads back its own latest values (exit 4 if a read answers success with a wrong value) and
// writes again to each store, logging only what is answered as stored.
//
// Usage: crash_writer <first number> <writer name>
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/system_limits.h"
#include "plugins/litedb/litedb_plugin.h"
#include "plugins/preferences_foundation/messages.g.h"
#include "plugins/preferences_foundation/preferences_plugin.h"
#include "plugins/secure_store_darwin/secure_store_darwin_plugin.h"
#include "tests/crash/crash_log.h"

namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;

constexpr const char* kDatabaseChannel = "com.velmora.litedb";
constexpr const char* kPreferenceSet =
    "dev.flutter.pigeon.preferences_foundation.UserDefaultsApi.set";
constexpr const char* kPreferenceGet =
    "dev.flutter.pigeon.preferences_foundation.UserDefaultsApi.getValue";
// Past the file-size limit of a run at the limits.
constexpr size_t kOversizedBytes = 2'000'000;
constexpr uint64_t kFileSizeLimit = 1'000'000;
// Descriptors a run at the limits may open beyond those it holds once set up.
constexpr rlim_t kSpareDescriptors = 12;
// A writer that outlives its test by this much stops by itself.
constexpr std::chrono::seconds kLifetime{60};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "crash_writer: %s\n", what.c_str());
  std::exit(2);
}

void log(char kind, const std::string& key, int64_t number) {
  std::string line = crash_test::formatWrite(kind, key, number);
  // One short write to a pipe: it arrives whole, and once written it outlives a kill.
  ssize_t written;
  do {
    written = ::write(crash_test::kLogDescriptor, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  if (written != static_cast<ssize_t>(line.size())) std::exit(3);
}

Value map(std::initializer_list<std::pair<const char*, Value>> entries) {
  ValueMap result;
  for (const auto& [key, value] : entries) result.set(Value(key), value);
  return Value(std::move(result));
}

class Writer {
 public:
  explicit Writer(std::string name) : name_(std::move(name)) {
    preferences_foundation::PreferencesPlugin::registerWithRegistrar(
        dart_.registrar("PreferencesPlugin"));
    litedb::LiteDbPlugin::registerWithRegistrar(dart_.registrar("LiteDbPlugin"));
    secure_store_darwin::SecureStoreDarwinPlugin::registerWithRegistrar(
        dart_.registrar("SecureStoreDarwinPlugin"));
  }

  void openDatabase() {
    std::string folder = *expectSuccess(database("getDatabasesPath", Value())).asString();
    Value opened = expectSuccess(
        database("openDatabase",
                 map({{"path", Value(folder + "/crash.db")}, {"singleInstance", Value(true)}})));
    database_id_ = *opened.find("id");
    expectSuccess(database("execute", map({{"id", database_id_},
                                           {"sql", Value("CREATE TABLE IF NOT EXISTS t "
                                                         "(k TEXT PRIMARY KEY)")}})));
    expectSuccess(database("execute", map({{"id", database_id_},
                                           {"sql", Value("CREATE TABLE IF NOT EXISTS big (v)")}})));
  }

  // A 2 MB value to every store: each must be refused.
  void writeOversized(int64_t number) {
    const std::string big(kOversizedBytes, 'x');
    auto preference = sendPreference("big", Value(big));
    if (!preference || preference->asList() == nullptr || preference->asList()->size() != 3) {
      fail("a preference past the file-size limit was answered as stored");
    }
    if (database("insert", map({{"id", database_id_},
                                {"sql", Value("INSERT INTO big (v) VALUES (?)")},
                                {"arguments", Value(ValueList{Value(big)})}}))
            .isSuccess()) {
      fail("a row past the file-size limit was answered as stored");
    }
    for (bool sealed : {false, true}) {
      if (secret(sealed ? crash_test::kSealedService : crash_test::kPlainService,
                 "big" + std::to_string(number), big, sealed)
              .isSuccess()) {
        fail("a secret past the file-size limit was answered as stored");
      }
    }
  }

  // With no descriptor left: reads answer an error or the truth, and writes are logged only
  // when answered as stored.
  void roundWithoutDescriptors(int64_t number) {
    foundation::testing::DescriptorsExhausted exhausted;
    const std::string own = crash_test::rewrittenPreference(name_);
    auto read = dart_.sendMessage(kPreferenceGet, Value(ValueList{Value(own), preferenceOptions()}),
                                  preferences_foundation::GetMessagesCodec());
    const ValueList* answer = read ? read->asList() : nullptr;
    if (answer != nullptr && answer->size() == 1 && last_own_preference_ &&
        (*answer)[0] != Value(std::to_string(*last_own_preference_))) {
      readFailure("preference " + own + " read " + (*answer)[0].debugString());
    }
    auto reply = sendPreference(own, Value(std::to_string(number)));
    if (reply && reply->asList() != nullptr && reply->asList()->size() == 1) {
      last_own_preference_ = number;
      log('P', own, number);
    }
    if (secret(crash_test::kPlainService, crash_test::kRewrittenKey, std::to_string(number), false)
            .isSuccess()) {
      log('K', crash_test::kRewrittenKey, number);
    }
    // Two rows in one statement, which needs a journal: both are stored or neither.
    const std::string rows = "n" + std::to_string(number);
    if (database("insert",
                 map({{"id", database_id_},
                      {"sql", Value("INSERT INTO t (k) VALUES (?), (?)")},
                      {"arguments", Value(ValueList{Value(rows + "a"), Value(rows + "b")})}}))
            .isSuccess()) {
      log('D', rows, number);
    }
  }

  void writeRound(int64_t number) {
    std::string suffix = std::to_string(number);
    setPreference("p" + suffix, number);
    setPreference(crash_test::rewrittenPreference(name_), number);
    insertRows("r" + suffix);
    log('D', "r" + suffix, number);
    writeSecret(crash_test::kPlainService, "k" + suffix, number, false);
    writeSecret(crash_test::kPlainService, crash_test::kRewrittenKey, number, false);
    writeSecret(crash_test::kSealedService, "s" + suffix, number, true);
    writeSecret(crash_test::kSealedService, crash_test::kRewrittenKey, number, true);
  }

 private:
  MethodReply database(const std::string& method, Value arguments) {
    return dart_.invokeMethod(kDatabaseChannel, method, std::move(arguments));
  }

  static Value expectSuccess(const MethodReply& reply) {
    if (!reply.isSuccess()) fail(reply.describe());
    return reply.value;
  }

  static Value preferenceOptions() {
    return Value(std::make_shared<preferences_foundation::PreferencesPigeonOptions>(std::nullopt));
  }

  std::optional<Value> sendPreference(const std::string& key, Value value) {
    return dart_.sendMessage(kPreferenceSet,
                             Value(ValueList{Value(key), std::move(value), preferenceOptions()}),
                             preferences_foundation::GetMessagesCodec());
  }

  [[noreturn]] static void readFailure(const std::string& what) {
    std::fprintf(stderr, "crash_writer: %s\n", what.c_str());
    std::exit(4);
  }

  void setPreference(const std::string& key, int64_t number) {
    auto reply = sendPreference(key, Value(std::to_string(number)));
    if (!reply || reply->asList() == nullptr || reply->asList()->size() != 1) {
      fail("preference " + key + ": " + (reply ? reply->debugString() : "no reply"));
    }
    if (key == crash_test::rewrittenPreference(name_)) last_own_preference_ = number;
    log('P', key, number);
  }

  // Two rows in one transaction: both are there after a crash, or neither.
  void insertRows(const std::string& key) {
    Value begun = expectSuccess(database("execute", map({{"id", database_id_},
                                                         {"sql", Value("BEGIN IMMEDIATE")},
                                                         {"inTransaction", Value(true)},
                                                         {"transactionId", Value()}})));
    Value transaction = *begun.find("transactionId");
    for (const char* row : {"a", "b"}) {
      expectSuccess(database("insert", map({{"id", database_id_},
                                            {"sql", Value("INSERT INTO t (k) VALUES (?)")},
                                            {"arguments", Value(ValueList{Value(key + row)})},
                                            {"transactionId", transaction}})));
    }
    expectSuccess(database("execute", map({{"id", database_id_},
                                           {"sql", Value("COMMIT")},
                                           {"inTransaction", Value(false)},
                                           {"transactionId", transaction}})));
  }

  MethodReply secret(const char* service, const std::string& key, const std::string& value,
                     bool sealed) {
    ValueMap options{{Value("accountName"), Value(service)}};
    if (sealed) options.set(Value("useSecureEnclave"), Value("true"));
    return dart_.invokeMethod(secure_store_darwin::kMethodChannelName, "write",
                              map({{"key", Value(key)},
                                   {"value", Value(value)},
                                   {"options", Value(std::move(options))}}));
  }

  void writeSecret(const char* service, const std::string& key, int64_t number, bool sealed) {
    expectSuccess(secret(service, key, std::to_string(number), sealed));
    log(sealed ? 'S' : 'K', key, number);
  }

  std::string name_;
  std::optional<int64_t> last_own_preference_;
  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
  TestDartSide dart_{engine_};
  Value database_id_;
};

}  // namespace

// The number of descriptors the process holds.
rlim_t openDescriptors() {
  rlim_t count = 0;
  if (DIR* listing = ::opendir("/proc/self/fd")) {
    while (::readdir(listing) != nullptr) ++count;
    ::closedir(listing);
  }
  return count;
}

int main(int argc, char** argv) {
  if (argc != 3) fail("usage: crash_writer <first number> <writer name>");
  int64_t number = std::strtoll(argv[1], nullptr, 10);
  const char* limits = std::getenv("CRASH_WRITER_LIMITS");
  const bool at_limits = limits != nullptr && std::string(limits) == "1";
  std::optional<foundation::testing::FileSizeLimit> file_size;
  if (at_limits) file_size.emplace(kFileSizeLimit);
  Writer writer(argv[2]);
  writer.openDatabase();
  if (at_limits) {
    // The listing's own descriptor and "." and ".." are counted too: a few spare either way.
    rlimit descriptors{};
    ::getrlimit(RLIMIT_NOFILE, &descriptors);
    descriptors.rlim_cur = std::min(descriptors.rlim_max, openDescriptors() + kSpareDescriptors);
    if (!file_size->active() || ::setrlimit(RLIMIT_NOFILE, &descriptors) != 0) {
      fail("the limits cannot be set");
    }
  }
  auto deadline = std::chrono::steady_clock::now() + kLifetime;
  while (std::chrono::steady_clock::now() < deadline) {
    writer.writeRound(number);
    if (at_limits) {
      writer.writeOversized(number);
      if (number % 2 == 0) writer.roundWithoutDescriptors(number);
    }
    ++number;
  }
  return 0;
}
