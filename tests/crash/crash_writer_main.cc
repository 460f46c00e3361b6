// A host-like process for the crash test: it drives the real preference, database and secure
// storage plug-ins through their channels, as the Dart side would, writing as fast as it can, and
// logs each write to descriptor 3 once it was answered as success (crash_log.h). Its files are
// wherever HOME and the XDG variables point; other writers may share them. It runs until it is
// killed, a write fails (exit 2), or the log is gone (exit 3).
//
// Usage: crash_writer <first number> <writer name>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/flutter/testing/test_dart_side.h"
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

  void setPreference(const std::string& key, int64_t number) {
    auto reply = dart_.sendMessage(
        kPreferenceSet,
        Value(ValueList{Value(key), Value(std::to_string(number)),
                        Value(std::make_shared<preferences_foundation::PreferencesPigeonOptions>(
                            std::nullopt))}),
        preferences_foundation::GetMessagesCodec());
    if (!reply || reply->asList() == nullptr || reply->asList()->size() != 1) {
      fail("preference " + key + ": " + (reply ? reply->debugString() : "no reply"));
    }
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

  void writeSecret(const char* service, const std::string& key, int64_t number, bool sealed) {
    ValueMap options{{Value("accountName"), Value(service)}};
    if (sealed) options.set(Value("useSecureEnclave"), Value("true"));
    expectSuccess(dart_.invokeMethod(secure_store_darwin::kMethodChannelName, "write",
                                     map({{"key", Value(key)},
                                          {"value", Value(std::to_string(number))},
                                          {"options", Value(std::move(options))}})));
    log(sealed ? 'S' : 'K', key, number);
  }

  std::string name_;
  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
  TestDartSide dart_{engine_};
  Value database_id_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) fail("usage: crash_writer <first number> <writer name>");
  int64_t number = std::strtoll(argv[1], nullptr, 10);
  Writer writer(argv[2]);
  writer.openDatabase();
  auto deadline = std::chrono::steady_clock::now() + kLifetime;
  while (std::chrono::steady_clock::now() < deadline) writer.writeRound(number++);
  return 0;
}
