// The database plug-in driven through "com.velmora.litedb" as the Dart side drives it.
#include "plugins/litedb/litedb_plugin.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <limits>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/utf8.h"
#include "plugins/litedb/tests/litedb_plugin_fixture.h"

namespace litedb {
namespace {

using flutter::Value;
using flutter::testing::MethodReply;
using testing::cursorOf;
using testing::list;
using testing::LiteDbPluginTest;
using testing::map;
using testing::rowCount;

TEST_F(LiteDbPluginTest, OpenHandsOutFreshIdsAndReopensSingleInstances) {
  std::string path = folder.file("shared.db");
  int64_t first = open(path, true);
  int64_t other = open(folder.file("other.db"));
  EXPECT_GT(other, first);

  auto again = call("openDatabase", map({{"path", Value(path)}, {"singleInstance", Value(true)}}));
  EXPECT_EQ(again.value, map({{"id", Value(first)}, {"recovered", Value(true)}}));
  // Not single instance: a further connection with its own id.
  EXPECT_GT(open(path, false), other);

  // Memory databases are never shared, and no id comes back after a close.
  int64_t memory = open(":memory:", true);
  EXPECT_GT(open(":memory:", true), memory);
  ASSERT_TRUE(close(first).isSuccess());
  EXPECT_GT(open(path, true), memory);
  EXPECT_FALSE(std::filesystem::exists(folder.file(":memory:")));

  auto debug = call("debug", map({{"cmd", Value("get")}}));
  EXPECT_EQ(debug.value.find("databases")->asMap()->size(), 5u);
  EXPECT_EQ(debug.value.find("logLevel"), nullptr);
  EXPECT_TRUE(call("debug", map({{"cmd", Value("other")}})).value.asMap()->empty());
}

TEST_F(LiteDbPluginTest, CallsOnAPathWaitForItsSingleInstanceOpenUnderWay) {
  std::string path = folder.file("raced.db");
  auto single = map({{"path", Value(path)}, {"singleInstance", Value(true)}});
  auto first = callAsync("openDatabase", single);
  auto second = callAsync("openDatabase", single);
  auto deleting = callAsync("deleteDatabase", map({{"path", Value(path)}}));
  auto third = callAsync("openDatabase", single);
  const Value id = *first.wait().value.find("id");
  EXPECT_EQ(second.wait().value, map({{"id", id}, {"recovered", Value(true)}}));
  // The delete closed the database the opens before it share; the open after it is a new one.
  EXPECT_TRUE(deleting.wait().isSuccess());
  EXPECT_GT(*third.wait().value.find("id")->asInteger(), *id.asInteger());
  EXPECT_EQ(execute(*id.asInteger(), "SELECT 1").error.message, "database_closed");
}

TEST_F(LiteDbPluginTest, ReopeningDuringATransactionReportsIt) {
  std::string path = folder.file("tx.db");
  int64_t id = open(path, true);
  ASSERT_TRUE(call("execute", map({{"id", Value(id)}, {"sql", Value("BEGIN IMMEDIATE")},
                                   {"inTransaction", Value(true)}}))
                  .isSuccess());
  auto again = call("openDatabase", map({{"path", Value(path)}, {"singleInstance", Value(true)}}));
  EXPECT_EQ(again.value, map({{"id", Value(id)},
                              {"recovered", Value(true)},
                              {"recoveredInTransaction", Value(true)}}));
  ASSERT_TRUE(call("execute", map({{"id", Value(id)}, {"sql", Value("COMMIT")},
                                   {"inTransaction", Value(false)}}))
                  .isSuccess());
  EXPECT_EQ(call("openDatabase", map({{"path", Value(path)}, {"singleInstance", Value(true)}}))
                .value.find("recoveredInTransaction"),
            nullptr);
}

TEST_F(LiteDbPluginTest, OpenFailuresAndMissingParents) {
  std::string missing = folder.file("absent.db");
  auto failed = call("openDatabase", map({{"path", Value(missing)}, {"readOnly", Value(true)}}));
  ASSERT_TRUE(failed.isError());
  EXPECT_EQ(failed.error, (FlutterError{"sqlite_error", "open_failed " + missing, Value()}));

  std::string nested = folder.file("a/b/c/nested.db");
  int64_t id = open(nested);
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  EXPECT_TRUE(std::filesystem::exists(nested));
  EXPECT_TRUE(close(id).isSuccess());
  EXPECT_EQ(call("databaseExists", map({{"path", Value(nested)}})).value, Value(true));
  EXPECT_EQ(call("databaseExists", map({{"path", Value(missing)}})).value, Value(false));
}

TEST_F(LiteDbPluginTest, ValuesRoundTripExactly) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE v (a, b)").isSuccess());
  const std::string with_zero("a\0b", 3);
  const Value values[] = {
      Value(std::numeric_limits<int64_t>::min()),
      Value(std::numeric_limits<int64_t>::max()),
      Value(int32_t{-7}),
      Value(0.1),
      Value(-1e300),
      Value(std::vector<uint8_t>{}),
      Value(std::vector<uint8_t>{0, 1, 255}),
      Value(),
      Value(with_zero),
      Value("héllo 😀"),
  };
  for (const Value& value : values) {
    ASSERT_TRUE(insert(id, "INSERT INTO v VALUES (?, ?)", list({value, Value("x")})).isSuccess());
  }
  // A list of integers binds as its low bytes; typed data as its raw bytes; true as 1.
  ASSERT_TRUE(insert(id, "INSERT INTO v VALUES (?, ?)",
                     list({list({Value(int32_t{1}), Value(int32_t{256}), Value(int32_t{511})}),
                           Value(std::vector<int32_t>{1})}))
                  .isSuccess());
  ASSERT_TRUE(insert(id, "INSERT INTO v VALUES (?, ?)", list({Value(true), Value(false)})).isSuccess());

  auto page = query(id, "SELECT a, b FROM v ORDER BY rowid");
  ASSERT_TRUE(page.isSuccess()) << page.describe();
  EXPECT_EQ(*page.value.find("columns"), list({Value("a"), Value("b")}));
  const auto& rows = *page.value.find("rows")->asList();
  ASSERT_EQ(rows.size(), std::size(values) + 2);
  for (size_t i = 0; i < std::size(values); ++i) {
    Value expected = values[i].is<int32_t>() ? Value(int64_t{-7}) : values[i];
    EXPECT_EQ((*rows[i].asList())[0], expected) << i;
  }
  EXPECT_EQ(rows[std::size(values)],
            list({Value(std::vector<uint8_t>{1, 0, 255}), Value(std::vector<uint8_t>{1, 0, 0, 0})}));
  EXPECT_EQ(rows[std::size(values) + 1], list({Value(int64_t{1}), Value(int64_t{0})}));
  // Text with U+0000 is also found by equality, so it was stored whole.
  auto found = query(id, "SELECT count(*) FROM v WHERE a = '" + std::string("a") + "' || char(0) || 'b'");
  EXPECT_EQ(*found.value.find("rows"), list({list({Value(int64_t{1})})}));
  close(id);
}

TEST_F(LiteDbPluginTest, InsertUpdateAndExecuteAnswers) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE t (k PRIMARY KEY, v)").isSuccess());
  EXPECT_EQ(insert(id, "INSERT INTO t VALUES (1, 'a')").value, Value(int64_t{1}));
  // Ignored by its conflict clause: no change, no row id.
  EXPECT_EQ(insert(id, "INSERT OR IGNORE INTO t VALUES (1, 'b')").value, Value());
  EXPECT_EQ(call("insert", map({{"id", Value(id)}, {"sql", Value("INSERT INTO t VALUES (2, 'c')")},
                               {"noResult", Value(true)}}))
                .value,
            Value());
  auto update = [&](const std::string& sql) {
    return call("update", map({{"id", Value(id)}, {"sql", Value(sql)}})).value;
  };
  EXPECT_EQ(update("UPDATE t SET v = 'z'"), Value(int32_t{2}));
  EXPECT_EQ(update("UPDATE t SET v = 'z' WHERE k = 9"), Value(int32_t{0}));

  // A statement that yields a row does not run to completion.
  auto select = execute(id, "SELECT * FROM t");
  ASSERT_TRUE(select.isError());
  EXPECT_EQ(select.error.code, "sqlite_error");
  EXPECT_EQ(select.error.details, map({{"sql", Value("SELECT * FROM t")}, {"arguments", list({})}}));

  EXPECT_TRUE(execute(id, "PRAGMA litedb -- db_config_defensive_off").isSuccess());
  EXPECT_EQ(query(id, "SELECT * FROM t WHERE k = 99").value, Value(flutter::ValueMap{}));
  EXPECT_EQ(call("getPlatformVersion").value, Value("macOS Version 15.0"));
  EXPECT_TRUE(call("noSuchMethod").isNotImplemented());
  close(id);
}

TEST_F(LiteDbPluginTest, ErrorsCarryExtendedCodesAndTheStatement) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE t (k PRIMARY KEY)").isSuccess());
  ASSERT_TRUE(insert(id, "INSERT INTO t VALUES (?)", list({Value(int32_t{1})})).isSuccess());
  auto duplicate = insert(id, "INSERT INTO t VALUES (?)", list({Value(int32_t{1})}));
  ASSERT_TRUE(duplicate.isError());
  EXPECT_EQ(duplicate.error.code, "sqlite_error");
  // SQLITE_CONSTRAINT_PRIMARYKEY, not the bare SQLITE_CONSTRAINT.
  EXPECT_NE(duplicate.error.message->find("Code=1555"), std::string::npos) << *duplicate.error.message;
  EXPECT_NE(duplicate.error.message->find("UNIQUE constraint failed"), std::string::npos);
  EXPECT_EQ(duplicate.error.details, map({{"sql", Value("INSERT INTO t VALUES (?)")},
                                          {"arguments", list({Value(int32_t{1})})}}));

  auto syntax = query(id, "SELEC nonsense");
  ASSERT_TRUE(syntax.isError());
  EXPECT_NE(syntax.error.message->find("syntax error"), std::string::npos);
  close(id);
}

TEST_F(LiteDbPluginTest, TransactionGateHoldsOthersBackUntilTheOwnerEnds) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  auto begin = call("execute", map({{"id", Value(id)}, {"sql", Value("BEGIN")},
                                    {"inTransaction", Value(true)}, {"transactionId", Value()}}));
  ASSERT_TRUE(begin.isSuccess()) << begin.describe();
  EXPECT_EQ(begin.value, map({{"transactionId", Value(int32_t{1})}}));

  auto held_first = callAsync("insert", map({{"id", Value(id)},
                                             {"sql", Value("INSERT INTO t VALUES ('first')")}}));
  auto held_second = callAsync("insert", map({{"id", Value(id)},
                                              {"sql", Value("INSERT INTO t VALUES ('second')")},
                                              {"transactionId", Value(int32_t{7})}}));
  // -1, batches and the owner's own calls pass the gate.
  EXPECT_TRUE(insert(id, "INSERT INTO t VALUES ('anyone')", Value(), Value(int32_t{-1})).isSuccess());
  EXPECT_TRUE(call("batch", map({{"id", Value(id)},
                                 {"operations", list({map({{"method", Value("execute")},
                                                           {"sql", Value("SELECT 1 WHERE 0")}})})}}))
                  .isSuccess());
  auto owner = query(id, "SELECT count(*) FROM t", Value("transactionId"), Value(int32_t{1}));
  EXPECT_EQ(*owner.value.find("rows"), list({list({Value(int64_t{1})})}));
  dart.drain();
  EXPECT_FALSE(held_first.ready());
  EXPECT_FALSE(held_second.ready());

  auto end = call("execute", map({{"id", Value(id)}, {"sql", Value("COMMIT")},
                                  {"inTransaction", Value(false)}, {"transactionId", Value(int32_t{1})}}));
  ASSERT_TRUE(end.isSuccess()) << end.describe();
  EXPECT_EQ(held_first.wait().value, Value(int64_t{2}));
  EXPECT_EQ(held_second.wait().value, Value(int64_t{3}));
  auto order = query(id, "SELECT v FROM t ORDER BY rowid");
  EXPECT_EQ(*order.value.find("rows"),
            list({list({Value("anyone")}), list({Value("first")}), list({Value("second")})}));

  // Without a "transactionId" key nothing begins.
  EXPECT_EQ(call("execute", map({{"id", Value(id)}, {"sql", Value("SELECT 1 WHERE 0")},
                                 {"inTransaction", Value(true)}}))
                .value,
            Value());
  close(id);
}

TEST_F(LiteDbPluginTest, FailedBeginFreesTheDatabaseAndFailedEndKeepsItOwned) {
  int64_t id = open(":memory:");
  auto failed = call("execute", map({{"id", Value(id)}, {"sql", Value("BEGIN nonsense")},
                                     {"inTransaction", Value(true)}, {"transactionId", Value()}}));
  ASSERT_TRUE(failed.isError());
  EXPECT_TRUE(insert(id, "SELECT 1 WHERE 0").isSuccess());  // not held back
  auto begin = call("execute", map({{"id", Value(id)}, {"sql", Value("BEGIN")},
                                    {"inTransaction", Value(true)}, {"transactionId", Value()}}));
  EXPECT_EQ(begin.value, map({{"transactionId", Value(int32_t{2})}}));

  auto failed_end = call("execute", map({{"id", Value(id)}, {"sql", Value("COMMIT nonsense")},
                                         {"inTransaction", Value(false)},
                                         {"transactionId", Value(int32_t{2})}}));
  ASSERT_TRUE(failed_end.isError());
  auto waiting = callAsync("insert", map({{"id", Value(id)}, {"sql", Value("SELECT 1 WHERE 0")}}));
  dart.drain();
  EXPECT_FALSE(waiting.ready());
  // Closing answers what is still held back.
  EXPECT_TRUE(close(id).isSuccess());
  auto answer = waiting.wait();
  ASSERT_TRUE(answer.isError());
  EXPECT_EQ(answer.error, (FlutterError{"sqlite_error", "database_closed", Value()}));
}

TEST_F(LiteDbPluginTest, AnEndThatFindsTheTransactionAlreadyOverFreesTheDatabase) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  auto begin = call("execute", map({{"id", Value(id)},
                                    {"sql", Value("BEGIN")},
                                    {"inTransaction", Value(true)},
                                    {"transactionId", Value()}}));
  ASSERT_TRUE(begin.isSuccess()) << begin.describe();
  // A batch ends SQLite's transaction behind the owner's back.
  ASSERT_TRUE(call("batch",
                   map({{"id", Value(id)},
                        {"operations",
                         list({map({{"method", Value("execute")}, {"sql", Value("ROLLBACK")}})})}}))
                  .isSuccess());
  auto waiting =
      callAsync("insert", map({{"id", Value(id)}, {"sql", Value("INSERT INTO t VALUES (1)")}}));
  dart.drain();
  EXPECT_FALSE(waiting.ready());
  // The owner's end fails, as there is nothing to commit, yet the transaction is over.
  auto end = call("execute", map({{"id", Value(id)},
                                  {"sql", Value("COMMIT")},
                                  {"inTransaction", Value(false)},
                                  {"transactionId", Value(int32_t{1})}}));
  EXPECT_TRUE(end.isError());
  EXPECT_EQ(waiting.wait().value, Value(int64_t{1}));
  close(id);
}

TEST_F(LiteDbPluginTest, CursorsPageThroughResults) {
  int64_t id = numbers(25);
  auto first = query(id, "SELECT v FROM n ORDER BY v", Value("cursorPageSize"), Value(int32_t{10}));
  ASSERT_TRUE(first.isSuccess()) << first.describe();
  EXPECT_EQ(rowCount(first), 10u);
  auto cursor = cursorOf(first);
  ASSERT_TRUE(cursor.has_value());
  auto second = next(id, static_cast<int32_t>(*cursor));
  EXPECT_EQ(rowCount(second), 10u);
  EXPECT_EQ(cursorOf(second), cursor);
  EXPECT_EQ((*second.value.find("rows")->asList())[0], list({Value(int64_t{11})}));
  auto third = next(id, static_cast<int32_t>(*cursor));
  EXPECT_EQ(rowCount(third), 5u);
  EXPECT_FALSE(cursorOf(third).has_value());
  auto gone = next(id, static_cast<int32_t>(*cursor));
  EXPECT_EQ(gone.error, (FlutterError{"sqlite_error", "Cursor not found", Value()}));

  // Fewer rows than a page: no cursor is kept.
  EXPECT_FALSE(cursorOf(query(id, "SELECT v FROM n WHERE v < 4", Value("cursorPageSize"),
                              Value(int32_t{10})))
                   .has_value());
  // A page far larger than any table costs only the rows it holds.
  auto all = query(id, "SELECT v FROM n", Value("cursorPageSize"),
                   Value(std::numeric_limits<int32_t>::max()));
  ASSERT_TRUE(all.isSuccess()) << all.describe();
  EXPECT_EQ(rowCount(all), 25u);
  EXPECT_FALSE(cursorOf(all).has_value());
  close(id);
}

TEST_F(LiteDbPluginTest, CursorEndingOnAPageBoundaryAndCancel) {
  int64_t id = numbers(20);
  auto first = query(id, "SELECT v FROM n", Value("cursorPageSize"), Value(int32_t{10}));
  auto cursor = static_cast<int32_t>(*cursorOf(first));
  auto second = next(id, cursor);
  EXPECT_EQ(rowCount(second), 10u);
  EXPECT_EQ(cursorOf(second), cursor);
  EXPECT_EQ(next(id, cursor).value, Value(flutter::ValueMap{}));
  EXPECT_TRUE(next(id, cursor).isError());

  auto other = query(id, "SELECT v FROM n", Value("cursorPageSize"), Value(int32_t{3}));
  auto other_cursor = static_cast<int32_t>(*cursorOf(other));
  EXPECT_EQ(next(id, other_cursor, true).value, Value());
  EXPECT_TRUE(next(id, other_cursor).isError());
  EXPECT_EQ(next(id, 12345, true).value, Value());
  // A cursor still open when its database closes goes first, cleanly.
  ASSERT_TRUE(cursorOf(query(id, "SELECT v FROM n", Value("cursorPageSize"), Value(int32_t{3}))));
  EXPECT_TRUE(close(id).isSuccess());
}

TEST_F(LiteDbPluginTest, AStepFailingMidPageIsAnErrorNotAShortPage) {
  int64_t id = numbers(30);
  // abs() of the smallest integer overflows when the step reaches row 15.
  const std::string sql =
      "SELECT CASE WHEN v = 15 THEN abs(-9223372036854775807 - 1) ELSE v END FROM n";
  auto whole = query(id, sql);
  ASSERT_TRUE(whole.isError());
  EXPECT_NE(whole.error.message->find("integer overflow"), std::string::npos);
  EXPECT_EQ(whole.error.details, map({{"sql", Value(sql)}, {"arguments", list({})}}));

  auto first = query(id, sql, Value("cursorPageSize"), Value(int32_t{10}));
  ASSERT_TRUE(first.isSuccess());
  auto cursor = static_cast<int32_t>(*cursorOf(first));
  auto failed = next(id, cursor);
  ASSERT_TRUE(failed.isError());
  EXPECT_EQ(failed.error.code, "sqlite_error");
  EXPECT_EQ(failed.error.details, map({{"sql", Value(sql)}, {"arguments", list({})}}));
  EXPECT_EQ(next(id, cursor).error.message, "Cursor not found");
  close(id);
}

TEST_F(LiteDbPluginTest, QueryThatCannotBindIsAnError) {
  int64_t id = open(":memory:");
  auto missing = call("query", map({{"id", Value(id)}, {"sql", Value("SELECT ?, ?")},
                                    {"arguments", list({Value(int32_t{1})})}}));
  ASSERT_TRUE(missing.isError());
  EXPECT_EQ(missing.error.code, "sqlite_error");
  EXPECT_NE(missing.error.message->find("2 parameters"), std::string::npos);
  // Values beyond the parameters are ignored.
  auto extra = call("query", map({{"id", Value(id)}, {"sql", Value("SELECT ?")},
                                  {"arguments", list({Value(int32_t{1}), Value(int32_t{2})})}}));
  EXPECT_EQ(*extra.value.find("rows"), list({list({Value(int64_t{1})})}));
  close(id);
}

TEST_F(LiteDbPluginTest, StatementsThatChangeDataRunToTheEndAndAreAnsweredAsSuch) {
  int64_t id = open(folder.file("returning.db"));
  ASSERT_TRUE(execute(id, "CREATE TABLE t (a INTEGER PRIMARY KEY, b)").isSuccess());
  // The change is made by the first step: answering an error would invite a duplicating retry.
  EXPECT_EQ(insert(id, "INSERT INTO t VALUES (5, 6) RETURNING a").value, Value(int64_t{5}));
  EXPECT_EQ(
      call("update", map({{"id", Value(id)}, {"sql", Value("UPDATE t SET b = 7 RETURNING a")}}))
          .value,
      Value(int32_t{1}));
  EXPECT_TRUE(execute(id, "INSERT INTO t VALUES (6, 0), (7, 0) RETURNING *").isSuccess());
  auto batch =
      call("batch", map({{"id", Value(id)},
                         {"operations", list({map({{"method", Value("insert")},
                                                   {"sql", Value("INSERT INTO t VALUES (8, 0) "
                                                                 "RETURNING a")}})})}}));
  EXPECT_EQ(batch.value, list({map({{"result", Value(int64_t{8})}})}));
  // Reading is still refused where a change is expected, and nothing was changed by it.
  auto select = execute(id, "SELECT a FROM t");
  ASSERT_TRUE(select.isError());
  EXPECT_NE(select.error.message->find("Code=100"), std::string::npos);
  EXPECT_EQ(*query(id, "SELECT count(*) FROM t").value.find("rows"),
            list({list({Value(int64_t{4})})}));
  // No statement is left open to keep the table locked.
  EXPECT_TRUE(execute(id, "DROP TABLE t").isSuccess());
  close(id);
}

TEST_F(LiteDbPluginTest, SqlTextIsOneStatementOrAClearError) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE t (a, b)").isSuccess());
  const std::string two = "INSERT INTO t VALUES (1, 2); INSERT INTO t VALUES (3, 4)";
  const std::string hidden =
      "INSERT INTO t VALUES (1, 2)" + std::string(1, '\0') + "; DROP TABLE t";
  for (const std::string& sql : {two, hidden}) {
    for (const char* method : {"execute", "insert", "update", "query"}) {
      auto reply = call(method, map({{"id", Value(id)}, {"sql", Value(sql)}}));
      ASSERT_TRUE(reply.isError()) << method;
      EXPECT_EQ(reply.error.code, "sqlite_error");
      EXPECT_NE(reply.error.message->find("The SQL "), std::string::npos) << *reply.error.message;
      EXPECT_EQ(reply.error.details, map({{"sql", Value(sql)}, {"arguments", list({})}}));
    }
    auto batch = call(
        "batch",
        map({{"id", Value(id)},
             {"operations", list({map({{"method", Value("execute")}, {"sql", Value(sql)}})})}}));
    EXPECT_TRUE(batch.isError());
  }
  // Refused before anything ran.
  EXPECT_EQ(*query(id, "SELECT count(*) FROM t").value.find("rows"),
            list({list({Value(int64_t{0})})}));

  // Blanks, comments and stray semicolons after the statement are not statements.
  for (const char* sql : {"SELECT 1;", "SELECT 1; -- done\n", "SELECT 1;; /* c */ ;  "}) {
    EXPECT_TRUE(query(id, sql).isSuccess()) << sql;
  }
  // No statement at all is an error that says so.
  for (const char* sql : {"", "   ", "-- only a comment", ";"}) {
    for (const char* method : {"execute", "query"}) {
      auto reply = call(method, map({{"id", Value(id)}, {"sql", Value(sql)}}));
      ASSERT_TRUE(reply.isError()) << method << " '" << sql << "'";
      EXPECT_NE(reply.error.message->find("holds no statement"), std::string::npos)
          << *reply.error.message;
    }
  }
  close(id);
}

TEST_F(LiteDbPluginTest, TextThatIsNotUtf8IsRepairedBeforeItIsSent) {
  // Another program wrote names and text that are not UTF-8.
  std::string path = folder.file("bytes.db");
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(raw,
                   "CREATE TABLE t (\"n\xff\" TEXT, x CONSTRAINT \"c\xfe\" CHECK (x IS NULL));"
                   "INSERT INTO t VALUES (CAST(x'ff41' AS TEXT), NULL);",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(raw);

  int64_t id = open(path);
  auto page = query(id, "SELECT * FROM t");
  ASSERT_TRUE(page.isSuccess()) << page.describe();
  EXPECT_EQ(*page.value.find("columns"), list({Value("n\uFFFD"), Value("x")}));
  EXPECT_EQ(*page.value.find("rows"), list({list({Value("\uFFFDA"), Value()})}));
  // Each maximal ill-formed part becomes one U+FFFD; what is well formed stays.
  auto repaired = query(id,
                        "SELECT CAST(x'e282' AS TEXT) || 'z', CAST(x'c0af' AS TEXT), "
                        "CAST(x'eda080' AS TEXT), CAST(x'c3a9f4908080' AS TEXT)",
                        Value("cursorPageSize"), Value(int32_t{1}));
  EXPECT_EQ(*repaired.value.find("rows"),
            list({list({Value("\uFFFDz"), Value("\uFFFD\uFFFD"), Value("\uFFFD\uFFFD\uFFFD"),
                        Value("\u00E9\uFFFD\uFFFD\uFFFD\uFFFD")})}));
  auto refused = insert(id, "INSERT INTO t VALUES ('a', 1)");
  ASSERT_TRUE(refused.isError());
  EXPECT_TRUE(foundation::isValidUtf8(*refused.error.message)) << *refused.error.message;
  EXPECT_NE(refused.error.message->find("c\uFFFD"), std::string::npos) << *refused.error.message;
  close(id);
}

TEST_F(LiteDbPluginTest, BatchesRunInOrderWithOrWithoutResults) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE t (k PRIMARY KEY)").isSuccess());
  auto entry = [](const char* method, const char* sql) {
    return map({{"method", Value(method)}, {"sql", Value(sql)}});
  };
  auto operations = list({entry("insert", "INSERT INTO t VALUES (1)"),
                          entry("insert", "INSERT INTO t VALUES (1)"),
                          entry("query", "SELECT k FROM t")});
  auto stops = call("batch", map({{"id", Value(id)}, {"operations", operations}}));
  ASSERT_TRUE(stops.isError());
  EXPECT_EQ(stops.error.details, map({{"sql", Value("INSERT INTO t VALUES (1)")}, {"arguments", list({})}}));

  auto goes_on = call("batch", map({{"id", Value(id)}, {"operations", operations},
                                    {"continueOnError", Value(true)}}));
  ASSERT_TRUE(goes_on.isSuccess());
  const auto& results = *goes_on.value.asList();
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(*results[0].find("error")->find("code"), Value("sqlite_error"));
  EXPECT_EQ(*results[1].find("error")->find("data"),
            map({{"sql", Value("INSERT INTO t VALUES (1)")}, {"arguments", list({})}}));
  EXPECT_EQ(*results[2].find("result")->find("rows"), list({list({Value(int64_t{1})})}));

  EXPECT_EQ(call("batch", map({{"id", Value(id)}, {"operations", operations},
                               {"continueOnError", Value(true)}, {"noResult", Value(true)}}))
                .value,
            Value());
  auto unsupported = call("batch", map({{"id", Value(id)},
                                        {"operations", list({entry("execute", "DELETE FROM t"),
                                                             entry("delete", "x")})}}));
  EXPECT_EQ(unsupported.error, (FlutterError{"bad_param", "Batch method 'delete' not supported", Value()}));
  EXPECT_EQ(*query(id, "SELECT count(*) FROM t").value.find("rows"), list({list({Value(int64_t{0})})}));
  close(id);
}

TEST_F(LiteDbPluginTest, CallsRunInTheOrderTheyWereSent) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  std::vector<flutter::testing::TestDartSide::PendingCall> pending;
  for (int32_t i = 0; i < 200; ++i) {
    pending.push_back(callAsync("insert", map({{"id", Value(id)},
                                               {"sql", Value("INSERT INTO t VALUES (?)")},
                                               {"arguments", list({Value(i)})}})));
  }
  auto closing = callAsync("closeDatabase", map({{"id", Value(id)}}));
  auto late = callAsync("insert", map({{"id", Value(id)}, {"sql", Value("SELECT 1")}}));
  for (int32_t i = 0; i < 200; ++i) EXPECT_EQ(pending[i].wait().value, Value(int64_t{i + 1}));
  EXPECT_TRUE(closing.wait().isSuccess());
  EXPECT_EQ(late.wait().error, (FlutterError{"sqlite_error", "database_closed", Value()}));
}

TEST_F(LiteDbPluginTest, BusyDatabaseIsRetriedUntilFreeOrTwoSeconds) {
  std::string path = folder.file("busy.db");
  int64_t id = open(path);
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

  auto waiting = callAsync("insert", map({{"id", Value(id)}, {"sql", Value("INSERT INTO t VALUES (1)")}}));
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 300 * NSEC_PER_MSEC), dispatch_get_main_queue(),
                 [other] { sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr); });
  EXPECT_EQ(waiting.wait().value, Value(int64_t{1}));

  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  auto started = std::chrono::steady_clock::now();
  auto gives_up = insert(id, "INSERT INTO t VALUES (2)");
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1900));
  ASSERT_TRUE(gives_up.isError());
  EXPECT_NE(gives_up.error.message->find("Code=5 "), std::string::npos) << *gives_up.error.message;
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  close(id);
}

TEST_F(LiteDbPluginTest, DeleteRemovesTheFileAndItsCompanionsButNothingElse) {
  std::string path = folder.file("gone.db");
  int64_t id = open(path, true);
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    std::ofstream(path + suffix) << "x";
  }
  std::filesystem::create_directory(folder.file("keep.db"));
  std::filesystem::create_directory(folder.file("keep.db-wal"));

  // The open single instance is closed first, then its files go.
  EXPECT_TRUE(call("deleteDatabase", map({{"path", Value(path)}})).isSuccess());
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    EXPECT_FALSE(std::filesystem::exists(path + suffix)) << suffix;
  }
  EXPECT_EQ(execute(id, "SELECT 1").error.message, "database_closed");
  EXPECT_TRUE(call("deleteDatabase", map({{"path", Value(folder.file("never.db"))}})).isSuccess());
  // A link goes, never what it names.
  const std::string linked = folder.file("linked.db");
  std::ofstream(linked) << "x";
  std::filesystem::create_symlink("/dev/null", linked + "-journal");
  EXPECT_TRUE(call("deleteDatabase", map({{"path", Value(linked)}})).isSuccess());
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(linked + "-journal")));
  EXPECT_TRUE(std::filesystem::exists("/dev/null"));
}

TEST_F(LiteDbPluginTest, DeleteRefusesWhatIsNotAFileAndRemovesNothing) {
  auto expectRefused = [&](const std::string& path) {
    auto reply = call("deleteDatabase", map({{"path", Value(path)}}));
    ASSERT_TRUE(reply.isError()) << path;
    EXPECT_EQ(reply.error.code, "fs_error");
    ASSERT_TRUE(reply.error.message.has_value());
    EXPECT_NE(reply.error.message->find("is not a regular file"), std::string::npos)
        << *reply.error.message;
  };
  // A directory, a pipe, or a pipe in a companion's place: nothing is removed, nothing opened.
  std::filesystem::create_directory(folder.file("keep.db"));
  expectRefused(folder.file("keep.db"));
  EXPECT_TRUE(std::filesystem::is_directory(folder.file("keep.db")));
  const std::string pipe = folder.file("pipe.db");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  expectRefused(pipe);
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  EXPECT_TRUE(call("databaseExists", map({{"path", Value(pipe)}})).value == Value(true));
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    const std::string path = folder.file(std::string("companion") + suffix + ".db");
    int64_t id = open(path, true);
    ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
    ASSERT_EQ(::mkfifo((path + suffix).c_str(), 0600), 0);
    expectRefused(path);
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << suffix;
    EXPECT_TRUE(std::filesystem::is_fifo(path + suffix)) << suffix;
    // Once the pipe is gone the database goes too, and success means it is gone.
    std::filesystem::remove(path + suffix);
    EXPECT_TRUE(call("deleteDatabase", map({{"path", Value(path)}})).isSuccess());
    EXPECT_EQ(call("databaseExists", map({{"path", Value(path)}})).value, Value(false));
  }
}

TEST_F(LiteDbPluginTest, PathsMustBeAbsoluteSoTheWorkingDirectoryIsNeverTouched) {
  std::string cwd = folder.file("started-here");
  std::filesystem::create_directory(cwd);
  const char* present[] = {"-shm", "-wal", "-journal", "rel.db"};
  for (const char* name : present) std::ofstream(cwd + "/" + name) << "x";
  auto previous = std::filesystem::current_path();
  std::filesystem::current_path(cwd);
  for (const char* path : {"", "rel.db", "./rel.db", "sub/new.db", "file:rel.db", "~/x.db"}) {
    for (const char* method : {"openDatabase", "deleteDatabase", "databaseExists"}) {
      auto reply = call(method, map({{"path", Value(path)}}));
      EXPECT_EQ(reply.error.code, "bad_param") << method << " '" << path << "'";
    }
  }
  auto folder_reply =
      call("darwinCreateUnprotectedFolder", map({{"parent", Value("made")}, {"name", Value("x")}}));
  EXPECT_EQ(folder_reply.error.code, "bad_param");
  std::filesystem::current_path(previous);

  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(cwd)) {
    ++entries;
    EXPECT_TRUE(entry.is_regular_file()) << entry.path();
  }
  EXPECT_EQ(entries, std::size(present));
}

TEST_F(LiteDbPluginTest, OnlyRegularFilesOpenAsDatabases) {
  std::string pipe = folder.file("pipe.db");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // Holding the other end keeps a blocking open from hanging this test when it fails.
  int writer = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  for (bool read_only : {false, true}) {
    auto reply = call("openDatabase", map({{"path", Value(pipe)}, {"readOnly", Value(read_only)}}));
    EXPECT_EQ(reply.error, (FlutterError{"sqlite_error", "open_failed " + pipe, Value()}))
        << read_only;
  }
  // A companion file SQLite reads on its own is checked when SQLite opens it: the first
  // statement that needs it fails.
  std::string db = folder.file("main.db");
  int64_t id = open(db);
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  ASSERT_TRUE(close(id).isSuccess());
  ASSERT_EQ(::mkfifo((db + "-journal").c_str(), 0600), 0);
  id = open(db);
  auto companion = query(id, "SELECT * FROM t");
  EXPECT_EQ(companion.error.code, "sqlite_error") << companion.describe();
  close(id);
  ::close(writer);

  // The kernel's files pass for regular ones but are no storage.
  for (const char* kernel_file : {"/proc/self/status", "/sys/kernel/uevent_seqnum"}) {
    auto reply =
        call("openDatabase", map({{"path", Value(kernel_file)}, {"readOnly", Value(true)}}));
    EXPECT_EQ(reply.error.message, std::string("open_failed ") + kernel_file) << reply.describe();
  }
  id = open(folder.file("other.db"));
  auto attached = execute(id, "ATTACH '/proc/self/environ' AS e");
  EXPECT_EQ(attached.error.code, "sqlite_error") << attached.describe();
  close(id);
}

TEST_F(LiteDbPluginTest, DirectoriesAndOptions) {
  EXPECT_EQ(call("getDatabasesPath").value, Value(folder.file("Documents")));
  std::string parent = folder.file("made/here");
  EXPECT_TRUE(call("darwinCreateUnprotectedFolder",
                   map({{"parent", Value(parent)}, {"name", Value("plain")}}))
                  .isSuccess());
  EXPECT_TRUE(std::filesystem::is_directory(parent + "/plain"));
  std::ofstream(folder.file("file")) << "x";
  auto blocked = call("darwinCreateUnprotectedFolder",
                      map({{"parent", Value(folder.file("file"))}, {"name", Value("sub")}}));
  EXPECT_EQ(blocked.error.code, "fs_error");
  // An existing folder is kept; anything else of that name is no folder, which is an error.
  ASSERT_EQ(::mkfifo((parent + "/fifo").c_str(), 0600), 0);
  std::ofstream(parent + "/regular") << "x";
  for (const char* name : {"plain", "fifo", "regular"}) {
    auto reply = call("darwinCreateUnprotectedFolder",
                      map({{"parent", Value(parent)}, {"name", Value(name)}}));
    EXPECT_EQ(reply.isSuccess(), std::string(name) == "plain") << name << reply.describe();
    if (reply.isError()) {
      EXPECT_EQ(reply.error.code, "fs_error");
      EXPECT_TRUE(reply.error.message.value_or("").starts_with("error creating unprotected dir: "));
    }
  }

  ASSERT_TRUE(call("options", map({{"logLevel", Value(int32_t{2})}})).isSuccess());
  int64_t id = open(":memory:");
  ASSERT_TRUE(call("debugMode", Value(false)).isSuccess());
  auto debug = call("debug", map({{"cmd", Value("get")}}));
  EXPECT_EQ(*debug.value.find("databases")->find(std::to_string(id))->find("logLevel"),
            Value(int32_t{2}));
  EXPECT_EQ(debug.value.find("logLevel"), nullptr);
  ASSERT_TRUE(call("debugMode", Value(true)).isSuccess());
  EXPECT_EQ(*call("debug", map({{"cmd", Value("get")}})).value.find("logLevel"), Value(int32_t{1}));
  close(id);
}

TEST_F(LiteDbPluginTest, MalformedArgumentsGetClearErrors) {
  int64_t id = open(":memory:");
  auto code_of = [&](const std::string& method, Value arguments) {
    auto reply = call(method, std::move(arguments));
    EXPECT_TRUE(reply.isError()) << method;
    return reply.error.code;
  };
  EXPECT_EQ(code_of("query", map({{"id", Value(id)}, {"sql", Value(int32_t{3})}})), "bad_param");
  EXPECT_EQ(code_of("query", map({{"id", Value("1")}, {"sql", Value("SELECT 1")}})), "bad_param");
  EXPECT_EQ(code_of("insert", map({{"id", Value(id)}, {"sql", Value("SELECT ?")},
                                   {"arguments", list({map({})})}})),
            "bad_param");
  EXPECT_EQ(code_of("insert", map({{"id", Value(id)}, {"sql", Value("SELECT ?")},
                                   {"arguments", list({list({Value("a")})})}})),
            "bad_param");
  EXPECT_EQ(code_of("execute", map({{"id", Value(id)}, {"sql", Value("SELECT 1")},
                                    {"inTransaction", Value("yes")}})),
            "bad_param");
  EXPECT_EQ(code_of("batch", map({{"id", Value(id)}, {"operations", Value("none")}})), "bad_param");
  EXPECT_EQ(code_of("queryCursorNext", map({{"id", Value(id)}})), "bad_param");
  EXPECT_EQ(code_of("openDatabase", map({{"path", Value(std::string("a\0b", 3))}})), "bad_param");
  EXPECT_EQ(code_of("openDatabase", Value(int32_t{1})), "bad_param");
  EXPECT_EQ(code_of("debugMode", Value("on")), "bad_param");
  EXPECT_EQ(code_of("insert", map({{"id", Value(int64_t{1} << 40)}, {"sql", Value("SELECT 1")}})),
            "sqlite_error");
  close(id);
  EXPECT_EQ(code_of("closeDatabase", map({{"id", Value(id)}})), "sqlite_error");
}

}  // namespace
}  // namespace litedb
