// Long and large work on databases: statements that run or wait for long, and pages too large to
// send.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "plugins/litedb/tests/litedb_plugin_fixture.h"

namespace litedb {
namespace {

using flutter::Value;
using testing::list;
using testing::LiteDbPluginTest;
using testing::map;

constexpr auto kPrompt = std::chrono::seconds(5);
constexpr const char* kEndless =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT count(*) FROM n";

TEST_F(LiteDbPluginTest, ClosingInterruptsTheRunningStatementAndAnswersPromptly) {
  int64_t id = open(folder.file("long.db"));
  auto endless = callAsync("query", map({{"id", Value(id)}, {"sql", Value(kEndless)}}));
  auto closing = callAsync("closeDatabase", map({{"id", Value(id)}}));
  EXPECT_TRUE(closing.wait(kPrompt).isSuccess());
  auto interrupted = endless.wait(kPrompt);
  ASSERT_TRUE(interrupted.isError()) << interrupted.describe();
  EXPECT_NE(interrupted.error.message->find("interrupted"), std::string::npos)
      << *interrupted.error.message;
}

// A close keeps the order of the calls: those sent before it run to their end and are answered
// as without it (only work still running a while after the close is interrupted), then it closes.
TEST_F(LiteDbPluginTest, CallsSentBeforeACloseFinishAsTheyWouldWithoutIt) {
  int64_t id = open(folder.file("short.db"));
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  // Many thousand virtual-machine steps each, yet a few milliseconds.
  constexpr const char* kCount =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
      "SELECT count(*) FROM n";
  constexpr const char* kFill =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
      "INSERT INTO t SELECT i FROM n";
  std::vector<flutter::testing::TestDartSide::PendingCall> counts;
  for (int i = 0; i < 4; ++i) {
    counts.push_back(callAsync("query", map({{"id", Value(id)}, {"sql", Value(kCount)}})));
  }
  auto fill = callAsync("update", map({{"id", Value(id)}, {"sql", Value(kFill)}}));
  auto closing = callAsync("closeDatabase", map({{"id", Value(id)}}));
  for (auto& count : counts) {
    auto answer = count.wait(kPrompt);
    ASSERT_TRUE(answer.isSuccess()) << answer.describe();
    EXPECT_EQ(*answer.value.find("rows"), list({list({Value(int64_t{20000})})}));
  }
  EXPECT_EQ(fill.wait(kPrompt).value.asInteger(), 5000);
  EXPECT_TRUE(closing.wait(kPrompt).isSuccess());
  // What was answered as done is stored.
  int64_t reopened = open(folder.file("short.db"));
  EXPECT_EQ(*query(reopened, "SELECT count(*) FROM t").value.find("rows"),
            list({list({Value(int64_t{5000})})}));
  close(reopened);
}

TEST_F(LiteDbPluginTest, StuckDatabasesLeaveThePoolToTheRestOfTheHost) {
  std::string path = folder.file("locked.db");
  ASSERT_TRUE(close(open(path)).isSuccess());
  // More databases than the pool has threads, each to wait for a lock far longer than this test.
  std::vector<int64_t> stuck;
  for (int i = 0; i < 130; ++i) {
    stuck.push_back(open(path));
    auto pragma = query(stuck.back(), "PRAGMA busy_timeout = 60000");
    ASSERT_TRUE(pragma.isSuccess()) << pragma.describe();
  }
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::vector<flutter::testing::TestDartSide::PendingCall> waiting;
  for (int64_t id : stuck) {
    waiting.push_back(callAsync(
        "query", map({{"id", Value(id)}, {"sql", Value("SELECT count(*) FROM sqlite_master")}})));
  }

  std::atomic<bool> ran{false};
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 [&] { ran = true; });
  EXPECT_TRUE(dispatch::testing::runUntil([&] { return ran.load(); }, kPrompt));

  // Once the lock is free every call is answered, those that waited for their turn included.
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  for (auto& call : waiting) EXPECT_TRUE(call.wait().isSuccess());
  for (int64_t id : stuck) close(id);
  sqlite3_close(holder);
}

TEST_F(LiteDbPluginTest, APageStopsAtTheReplyLimit) {
  int64_t id = open(":memory:");
  // Rows of 1 MiB, and an error from the 71st on: building only up to the limit answers that the
  // page is too large, building on would meet the error.
  const std::string rows =
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 100) "
      "SELECT CASE WHEN x <= 70 THEN zeroblob(1048576) ELSE abs(-9223372036854775807 - 1) END "
      "FROM c";
  // Some 64 MiB of rows are read for each: that takes its time under the sanitizers on a busy
  // machine, so the answers are awaited patiently.
  auto patiently = [&](const std::string& method, Value arguments) {
    return callAsync(method, std::move(arguments)).wait(std::chrono::seconds(60));
  };
  auto whole = patiently("query", map({{"id", Value(id)}, {"sql", Value(rows)}}));
  EXPECT_EQ(whole.error.code, "reply_too_large") << whole.describe();
  auto paged = patiently("query", map({{"id", Value(id)},
                                       {"sql", Value(rows)},
                                       {"cursorPageSize", Value(int32_t{100})}}));
  EXPECT_EQ(paged.error.code, "reply_too_large") << paged.describe();
  // The whole of a batch is one reply.
  const std::string forty =
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 40) "
      "SELECT zeroblob(1048576) FROM c";
  auto entry = map({{"method", Value("query")}, {"sql", Value(forty)}});
  auto batch = patiently("batch", map({{"id", Value(id)}, {"operations", list({entry, entry})}}));
  EXPECT_EQ(batch.error.code, "reply_too_large") << batch.describe();

  // A value longer than any reply can carry is refused by SQLite before it is made.
  auto huge = query(id, "SELECT length(randomblob(300000000))");
  ASSERT_TRUE(huge.isError()) << huge.describe();
  EXPECT_NE(huge.error.message->find("too big"), std::string::npos) << *huge.error.message;
  EXPECT_EQ(*query(id, "SELECT 1").value.find("rows"), list({list({Value(int64_t{1})})}));
  close(id);
}

}  // namespace
}  // namespace litedb
