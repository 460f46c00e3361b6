// The database plug-in against the raw SQLite C API doing the same work, side by side. Every
// plug-in case goes the whole way a Dart call goes (encode, channel, work queue, SQLite, page
// building, reply on the main queue, decode) and reports `vs_raw`: how many times longer it takes
// than its raw counterpart: the median of the ratios of runs taken in turns, each counted in the
// CPU time of the whole process (the work queue's and the main queue's threads included), so a
// machine busy with other work or a disk slow to sync moves it little. Decoding the replies is the
// Dart side's work, which the host never does: `vs_raw` leaves its CPU out, `vs_raw_with_decode`
// counts it.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/cpu_clock.h"
#include "bench/interleaved_ratio.h"
#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/flutter_engine.h"
#include "plugins/litedb/litedb_darwin_database.h"
#include "plugins/litedb/litedb_darwin_database_queue.h"
#include "plugins/litedb/litedb_plugin.h"
#include "plugins/litedb/litedb_sql_values.h"

namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using Clock = std::chrono::steady_clock;

constexpr int kBatchRows = 10'000;
constexpr int kQueryRows = 100'000;
constexpr const char* kInsert = "INSERT INTO t (i, r, s, b) VALUES (?, ?, ?, ?)";

Value map(std::initializer_list<std::pair<const char*, Value>> entries) {
  ValueMap result;
  for (const auto& [key, value] : entries) result.append(Value(key), value);
  return Value(std::move(result));
}

std::string temporaryFolder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "litedb-bench-XXXXXX").string();
    return std::string(mkdtemp(pattern.data()));
  }();
  return folder;
}

// The Dart side of the benchmark: encodes a call, hands it to the engine and pumps the main queue
// until the reply is back.
class Channel {
 public:
  Channel() : engine_(FlutterEngine::create()) {
    litedb::LiteDbPlugin::registerWithRegistrar(*engine_->registrarForPlugin("LiteDbPlugin"));
  }

  // The call's bytes as the Dart side sends them. Encoding them is the Dart side's work, which the
  // host never does: a case encodes its call once, before anything is timed.
  static FlutterBytes encode(const std::string& method, Value arguments) {
    return FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall(
        {method, std::move(arguments)});
  }

  Value call(const std::string& method, const Value& arguments) {
    return deliver(method, encode(method, arguments));
  }

  // Hands the host fresh bytes of the call, as the socket's reader does, and decodes the reply.
  Value deliver(const std::string& method, FlutterBytes message) {
    const auto& codec = FlutterStandardMethodCodec::sharedInstance();
    bool done = false;
    FlutterBinaryMessage reply;
    engine_->deliverFromDartSide("com.velmora.litedb", std::move(message),
                                 [&](FlutterBinaryMessage answer) {
                                   reply = std::move(answer);
                                   done = true;
                                 });
    dispatch::runMainQueueUntil([&] { return done; });
    const double decoding = bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    auto envelope = codec->decodeEnvelope(*reply);
    decodingSeconds_ += bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - decoding;
    if (auto* error = std::get_if<FlutterError>(&envelope)) {
      std::fprintf(stderr, "%s failed: %s\n", method.c_str(), error->message.value_or("").c_str());
      std::abort();
    }
    return std::move(std::get<Value>(envelope));
  }

  // CPU seconds this thread has spent decoding replies: the Dart side's work, not the host's.
  double decodingSeconds() const { return decodingSeconds_; }

  int64_t open(const std::string& path) {
    return *call("openDatabase", map({{"path", Value(path)}})).find("id")->asInteger();
  }

 private:
  std::shared_ptr<FlutterEngine> engine_;
  double decodingSeconds_ = 0;
};

Channel& channel() {
  static auto* const shared = new Channel();
  return *shared;
}

// The same mixed row for both sides: integer, double, text and blob (every tenth blob is NULL).
Value rowArguments(int i) {
  return Value(ValueList{Value(int64_t{i}), Value(i * 0.25), Value("row number " + std::to_string(i)),
                         i % 10 == 0 ? Value() : Value(std::vector<uint8_t>(16, uint8_t(i)))});
}

void bindRow(sqlite3_stmt* statement, int i) {
  sqlite3_bind_int64(statement, 1, i);
  sqlite3_bind_double(statement, 2, i * 0.25);
  std::string text = "row number " + std::to_string(i);
  sqlite3_bind_text(statement, 3, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  if (i % 10 == 0) {
    sqlite3_bind_null(statement, 4);
  } else {
    std::vector<uint8_t> blob(16, uint8_t(i));
    sqlite3_bind_blob(statement, 4, blob.data(), 16, SQLITE_TRANSIENT);
  }
}

const char* kSchema = "CREATE TABLE IF NOT EXISTS t (i INTEGER, r REAL, s TEXT, b BLOB)";

sqlite3* openRaw(const std::string& path) {
  // Both sides run on SQLite as the plug-in sets it up for the process, before its first use.
  channel();
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
  return db;
}

void fillRaw(sqlite3* db, int rows) {
  sqlite3_exec(db, "DELETE FROM t; BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, kInsert, -1, &statement, nullptr);
  for (int i = 0; i < rows; ++i) {
    bindRow(statement, i);
    sqlite3_step(statement);
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

// Raw work, one function per case.

// Each insert prepares its own statement, as each entry of a batch does.
void rawBatchInsert(sqlite3* db) {
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  for (int i = 0; i < kBatchRows; ++i) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, kInsert, -1, &statement, nullptr);
    bindRow(statement, i);
    sqlite3_step(statement);
    benchmark::DoNotOptimize(sqlite3_last_insert_rowid(db));
    sqlite3_finalize(statement);
  }
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

// One row as the raw side keeps it: every column copied into a value of its own.
struct RawRow {
  int64_t i;
  double r;
  std::string s;
  std::vector<uint8_t> b;
};

// Reads every column of every row into owned values and keeps them all until the end, as a page
// must; the rows are freed inside the timing, as the plug-in's page is.
void rawQuery(sqlite3* db) {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "SELECT i, r, s, b FROM t", -1, &statement, nullptr);
  std::vector<RawRow> rows;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 2));
    const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(statement, 3));
    rows.push_back(RawRow{
        sqlite3_column_int64(statement, 0), sqlite3_column_double(statement, 1),
        std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, 2))),
        std::vector<uint8_t>(blob, blob + sqlite3_column_bytes(statement, 3))});
  }
  benchmark::DoNotOptimize(rows.data());
  sqlite3_finalize(statement);
}

void rawSmallInsert(sqlite3* db) {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, kInsert, -1, &statement, nullptr);
  bindRow(statement, 1);
  sqlite3_step(statement);
  benchmark::DoNotOptimize(sqlite3_last_insert_rowid(db));
  sqlite3_finalize(statement);
}

// The ratio to the raw counterpart that each case aims to stay within.
constexpr double kQueryGoal = 1.5;
constexpr double kBatchInsertGoal = 1.3;
constexpr double kCursorGoal = 3.0;
// A cursor's run is a thousand hops to the database's worker and back, whose cost a busy
// machine sets from moment to moment: more and longer rounds than a single query's.
constexpr int kCursorRounds = 61;
constexpr int kCursorRunsPerRound = 3;

// Seconds `work` takes.
double secondsOf(const std::function<void()>& work) {
  auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds of CPU the process spends on `work`, without the Dart side's decoding of the replies
// (`withDecoding`: with it).
double cpuSecondsOf(const std::function<void()>& work, bool withDecoding = false) {
  const double start = bench::processCpuSeconds();
  const double decoding = channel().decodingSeconds();
  work();
  const double decoded = withDecoding ? 0 : channel().decodingSeconds() - decoding;
  return bench::processCpuSeconds() - start - decoded;
}

// A side as both timings: wall seconds for the timed loop, CPU seconds for the ratio.
struct Timed {
  std::function<void()> before;  // set-up, timed by neither
  std::function<void()> work;
};

// A case and its raw counterpart.
struct Sides {
  Timed plugin;
  Timed raw;
};

// The timed loop runs the plug-in side (wall time); then both sides take turns `rounds` times and
// `vs_raw` is the median of the rounds' ratios of CPU time, each round running a side's work
// `runsPerRound` times so that a round is milliseconds of CPU, not one call's wake-ups.
// `vs_raw_with_decode` counts the Dart side's decoding of the replies on the plug-in's side too.
void measure(benchmark::State& state, const Sides& sides, int rounds, double goal = 0,
             int runsPerRound = 1) {
  for (auto _ : state) {
    if (sides.plugin.before) sides.plugin.before();
    state.SetIterationTime(secondsOf(sides.plugin.work));
  }
  auto cpu = [runsPerRound](const Timed& side, bool withDecoding) {
    return [&side, runsPerRound, withDecoding] {
      double seconds = 0;
      for (int run = 0; run < runsPerRound; ++run) {
        if (side.before) side.before();
        seconds += cpuSecondsOf(side.work, withDecoding);
      }
      return seconds;
    };
  };
  auto ratio = bench::interleavedRatio(rounds, cpu(sides.plugin, false), cpu(sides.raw, false));
  state.counters["vs_raw"] = benchmark::Counter(ratio.median);
  state.counters["vs_raw_min"] = benchmark::Counter(ratio.minimumRatio);
  auto with_decoding =
      bench::interleavedRatio(rounds, cpu(sides.plugin, true), cpu(sides.raw, true));
  state.counters["vs_raw_with_decode"] = benchmark::Counter(with_decoding.median);
  if (goal > 0) state.counters["goal"] = benchmark::Counter(goal);
}

// The cases.

Value batchOperations() {
  ValueList operations;
  operations.reserve(kBatchRows + 2);
  operations.emplace_back(map({{"method", Value("execute")}, {"sql", Value("BEGIN")}}));
  for (int i = 0; i < kBatchRows; ++i) {
    operations.emplace_back(map({{"method", Value("insert")}, {"sql", Value(kInsert)},
                                 {"arguments", rowArguments(i)}}));
  }
  operations.emplace_back(map({{"method", Value("execute")}, {"sql", Value("COMMIT")}}));
  return Value(std::move(operations));
}

void BM_Raw_BatchInsert10k(benchmark::State& state) {
  sqlite3* db = openRaw(temporaryFolder() + "/raw_batch.db");
  for (auto _ : state) {
    state.PauseTiming();
    sqlite3_exec(db, "DELETE FROM t", nullptr, nullptr, nullptr);
    state.ResumeTiming();
    rawBatchInsert(db);
  }
  sqlite3_close(db);
}

void BM_Plugin_BatchInsert10k(benchmark::State& state) {
  sqlite3* raw = openRaw(temporaryFolder() + "/raw_batch_ratio.db");
  const std::string path = temporaryFolder() + "/plugin_batch.db";
  sqlite3_close(openRaw(path));
  int64_t id = channel().open(path);
  const FlutterBytes batch =
      Channel::encode("batch", map({{"id", Value(id)}, {"operations", batchOperations()}}));
  const Value clear = map({{"id", Value(id)}, {"sql", Value("DELETE FROM t")}});
  // The delete is excluded from both sides; so is building and encoding the batch's arguments.
  Sides sides{{[&] { channel().call("execute", clear); },
               [&] { benchmark::DoNotOptimize(channel().deliver("batch", batch)); }},
              {[&] { sqlite3_exec(raw, "DELETE FROM t", nullptr, nullptr, nullptr); },
               [&] { rawBatchInsert(raw); }}};
  measure(state, sides, 21, kBatchInsertGoal);
  sqlite3_close(raw);
  channel().call("closeDatabase", map({{"id", Value(id)}}));
}

const std::string& queryDatabase() {
  static const std::string path = [] {
    std::string file = temporaryFolder() + "/query.db";
    sqlite3* db = openRaw(file);
    fillRaw(db, kQueryRows);
    sqlite3_close(db);
    return file;
  }();
  return path;
}

void BM_Raw_Query100k(benchmark::State& state) {
  sqlite3* db = openRaw(queryDatabase());
  for (auto _ : state) rawQuery(db);
  sqlite3_close(db);
}

// Runs `plugin` against the raw query of the same rows.
void measureAgainstRawQuery(benchmark::State& state, const std::function<void()>& plugin,
                            double goal, int rounds = 31, int runsPerRound = 1) {
  sqlite3* db = openRaw(queryDatabase());
  measure(state, {{nullptr, plugin}, {nullptr, [&] { rawQuery(db); }}}, rounds, goal,
          runsPerRound);
  sqlite3_close(db);
}

void BM_Plugin_Query100k(benchmark::State& state) {
  int64_t id = channel().open(queryDatabase());
  const Value query = map({{"id", Value(id)}, {"sql", Value("SELECT i, r, s, b FROM t")}});
  measureAgainstRawQuery(
      state, [&] { benchmark::DoNotOptimize(channel().call("query", query)); }, kQueryGoal);
  channel().call("closeDatabase", map({{"id", Value(id)}}));
}

// The plug-in's own share of a query: the page built on the work queue from the same rows,
// without the channel, the codec or the hop to the main queue.
void BM_Page_Query100k(benchmark::State& state) {
  auto db = litedb::LiteDbDarwinDatabase::databaseWithPath(queryDatabase());
  // Opened as the work queue opens its connection.
  db->openWithFlags(litedb::LiteDbDarwinDatabaseQueue::connectionFlags(
                        litedb::LiteDbDarwinDatabaseQueue::kDefaultFlags),
                    std::nullopt);
  measureAgainstRawQuery(
      state,
      [&] {
        auto resultSet = db->executeQuery("SELECT i, r, s, b FROM t");
        benchmark::DoNotOptimize(litedb::resultSetToResults(*resultSet, std::nullopt));
      },
      kQueryGoal);
  db->close();
}

void BM_Plugin_Cursor(benchmark::State& state) {
  const auto page_size = static_cast<int32_t>(state.range(0));
  int64_t id = channel().open(queryDatabase());
  const Value query = map({{"id", Value(id)}, {"sql", Value("SELECT i, r, s, b FROM t")},
                           {"cursorPageSize", Value(page_size)}});
  measureAgainstRawQuery(
      state,
      [&] {
        Value page = channel().call("query", query);
        while (const Value* cursor = page.find("cursorId")) {
          page = channel().call("queryCursorNext", map({{"id", Value(id)}, {"cursorId", *cursor}}));
        }
      },
      page_size == 100 ? kCursorGoal : 0, kCursorRounds, kCursorRunsPerRound);
  channel().call("closeDatabase", map({{"id", Value(id)}}));
}

void BM_Raw_SmallInsert(benchmark::State& state) {
  sqlite3* db = openRaw(temporaryFolder() + "/raw_small.db");
  sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
  for (auto _ : state) rawSmallInsert(db);
  sqlite3_close(db);
}

void BM_Plugin_SmallInsert(benchmark::State& state) {
  sqlite3* raw = openRaw(temporaryFolder() + "/raw_small_ratio.db");
  sqlite3_exec(raw, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
  const std::string path = temporaryFolder() + "/plugin_small.db";
  sqlite3_close(openRaw(path));
  int64_t id = channel().open(path);
  channel().call("execute", map({{"id", Value(id)}, {"sql", Value("PRAGMA synchronous = OFF")}}));
  const Value insert = map({{"id", Value(id)}, {"sql", Value(kInsert)}, {"arguments", rowArguments(1)}});
  measure(state,
          {{nullptr, [&] { benchmark::DoNotOptimize(channel().call("insert", insert)); }},
           {nullptr, [&] { rawSmallInsert(raw); }}},
          101, 0, 50);
  sqlite3_close(raw);
  channel().call("closeDatabase", map({{"id", Value(id)}}));
}

BENCHMARK(BM_Raw_BatchInsert10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plugin_BatchInsert10k)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Raw_Query100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plugin_Query100k)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Page_Query100k)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plugin_Cursor)->Arg(100)->Arg(1000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Raw_SmallInsert)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Plugin_SmallInsert)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
