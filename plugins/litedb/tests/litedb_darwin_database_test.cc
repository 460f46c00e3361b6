// The database layer used directly: binding, stepping, errors, the work queue and the further
// API that the plug-in does not call.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>
#include <vector>

#include "plugins/litedb/litedb_darwin_database.h"
#include "plugins/litedb/litedb_darwin_database_additions.h"
#include "plugins/litedb/litedb_darwin_database_queue.h"
#include "plugins/litedb/tests/litedb_test_support.h"

namespace litedb {
namespace {

std::shared_ptr<LiteDbDarwinDatabase> memory() {
  auto db = LiteDbDarwinDatabase::databaseWithPath(std::nullopt);
  EXPECT_TRUE(db->open());
  EXPECT_TRUE(db->open());  // opening an open connection changes nothing
  EXPECT_TRUE(db->executeUpdate("CREATE TABLE t (a, b)"));
  return db;
}

TEST(LiteDbDarwinDatabaseTest, BindsByStorageTypeAndReadsBack) {
  auto db = memory();
  ASSERT_TRUE(db->executeUpdate("INSERT INTO t VALUES (?, ?)",
                                {true, std::numeric_limits<uint64_t>::max()}));
  ASSERT_TRUE(db->executeUpdate("INSERT INTO t VALUES (?, ?)", {LiteDbDarwinData{}, std::monostate{}}));
  ASSERT_TRUE(db->executeUpdate("INSERT INTO t VALUES (?, ?)", {uint32_t{4000000000u}, 1.5f}));
  auto rs = db->executeQuery("SELECT a, b FROM t ORDER BY rowid");
  ASSERT_TRUE(rs && rs->next());
  EXPECT_EQ(rs->longLongIntForColumnIndex(0), 1);
  EXPECT_EQ(rs->longLongIntForColumnIndex(1), -1);
  ASSERT_TRUE(rs->next());
  EXPECT_EQ(rs->typeForColumnIndex(0), SQLITE_BLOB);
  EXPECT_FALSE(rs->dataForColumnIndex(0).has_value());  // an empty blob reads as nothing
  EXPECT_TRUE(rs->columnIndexIsNull(1));
  ASSERT_TRUE(rs->next());
  EXPECT_EQ(rs->longForColumn("A"), 4000000000LL);
  EXPECT_EQ(rs->doubleForColumn("b"), 1.5);
  EXPECT_EQ(rs->columnIndexForName("missing"), -1);
  EXPECT_FALSE(rs->next());
  // Read to the end, it closed itself.
  EXPECT_FALSE(rs->hasAnotherRow());
  EXPECT_EQ(rs->columnCount(), 0);
  EXPECT_FALSE(db->hasOpenResultSets());
}

TEST(LiteDbDarwinDatabaseTest, CountsAndRowsAreCheckedAndTheConnectionStaysUsable) {
  auto db = memory();
  EXPECT_FALSE(db->executeUpdate("INSERT INTO t VALUES (?, ?)", {1}));
  EXPECT_FALSE(db->hadError());
  EXPECT_EQ(db->lastError().code, SQLITE_RANGE);
  EXPECT_TRUE(db->executeUpdate("INSERT INTO t VALUES (?, ?)", {1, 2, 3}));
  NSError error;
  EXPECT_FALSE(db->executeUpdate("SELECT * FROM t", {}, &error));
  EXPECT_EQ(error.code, SQLITE_ROW);
  EXPECT_FALSE(db->hadError());
  EXPECT_FALSE(db->executeQuery("SELEC").get());
  EXPECT_TRUE(db->hadError());
  EXPECT_EQ(LiteDbDarwinDatabaseAdditions(*db).intForQuery("SELECT count(*) FROM t"), 1);
  EXPECT_EQ(LiteDbDarwinDatabaseAdditions(*db).intForQuery("SELECT a FROM t WHERE 0"), 0);
  EXPECT_FALSE(db->hasOpenResultSets());
}

TEST(LiteDbDarwinDatabaseTest, ACachedStatementKeepsNoValuesOfAnEarlierChange) {
  auto db = memory();
  db->setShouldCacheStatements(true);
  const std::string insert = "INSERT INTO t VALUES (?, ?)";
  for (int row = 0; row < 3; ++row) {
    // The values go as soon as each change has been made.
    ASSERT_TRUE(db->executeUpdate(
        insert, {std::string(200, static_cast<char>('a' + row)) + std::string(1, '\0') + "tail",
                 LiteDbDarwinData(64, static_cast<uint8_t>(row))}));
  }
  ASSERT_TRUE(db->executeUpdate("UPDATE t SET a = ? WHERE b = ?", {std::string("renamed"),
                                                                   LiteDbDarwinData(64, 1)}));
  // The same text prepared again, without values, finds the cached statement: it binds nothing
  // an earlier caller left.
  auto unbound = db->prepare(insert);
  ASSERT_TRUE(unbound);
  EXPECT_FALSE(unbound->next());
  auto rs = db->executeQuery("SELECT a, b FROM t ORDER BY rowid");
  ASSERT_TRUE(rs);
  for (int row = 0; row < 3; ++row) {
    ASSERT_TRUE(rs->next());
    const std::string expected = row == 1 ? std::string("renamed")
                                          : std::string(200, static_cast<char>('a' + row)) +
                                                std::string(1, '\0') + "tail";
    EXPECT_EQ(rs->stringForColumnIndex(0), expected);
    EXPECT_EQ(rs->dataForColumnIndex(1), LiteDbDarwinData(64, static_cast<uint8_t>(row)));
  }
  ASSERT_TRUE(rs->next());
  EXPECT_TRUE(rs->columnIndexIsNull(0));
  EXPECT_TRUE(rs->columnIndexIsNull(1));
  EXPECT_FALSE(rs->next());
}

TEST(LiteDbDarwinDatabaseTest, EveryFailureSaysWhatWentWrong) {
  auto db = memory();
  for (const char* sql : {"", "/* nothing */", ";"}) {
    NSError error;
    EXPECT_FALSE(db->executeQuery(sql, {}, &error)) << sql;
    EXPECT_NE(error.code, SQLITE_OK);
    EXPECT_NE(error.description().find("holds no statement"), std::string::npos)
        << error.description();
    EXPECT_FALSE(db->executeUpdate(sql, {}, &error));
    EXPECT_NE(error.description().find("holds no statement"), std::string::npos);
  }
  EXPECT_FALSE(db->executeQuery("SELECT 1; SELECT 2"));
  EXPECT_NE(db->lastError().description().find("more than one statement"), std::string::npos);

  // A result set stepped after it closed names the reason rather than a blank error.
  auto rs = db->executeQuery("SELECT 1");
  ASSERT_TRUE(rs);
  rs->close();
  NSError error;
  EXPECT_EQ(rs->internalStepWithError(&error), SQLITE_MISUSE);
  EXPECT_EQ(error.domain, kLiteDbDarwinErrorDomain);
  EXPECT_EQ(error.code, SQLITE_MISUSE);
  EXPECT_FALSE(error.localizedDescription.empty());
  EXPECT_TRUE(db->executeUpdate("INSERT INTO t VALUES (1, 2)"));
}

TEST(LiteDbDarwinDatabaseTest, ClosingFinalizesLeakedStatements) {
  auto db = memory();
  auto rs = db->executeQuery("SELECT * FROM t");
  ASSERT_TRUE(rs);
  db->resultSetDidClose(rs.get());  // as a cursor would keep it
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db->sqliteHandle(), "SELECT 1", -1, &raw, nullptr);
  rs->close();
  EXPECT_TRUE(db->close());
  EXPECT_FALSE(db->isOpen());
}

TEST(LiteDbDarwinDatabaseTest, FormatsNamesSavepointsAndSchema) {
  auto db = memory();
  EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (%d, %@)", {7, std::string("x")}));
  EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (%@, '100%%')", {std::monostate{}}));
  EXPECT_TRUE(db->executeUpdateWithParameterDictionary("INSERT INTO t VALUES (:a, :b)",
                                                       {{"a", 1}, {"b", 2}, {"unused", 3}}));
  LiteDbDarwinDatabaseAdditions additions(*db);
  EXPECT_EQ(additions.stringForQuery("SELECT b FROM t WHERE a = 7"), "x");
  EXPECT_EQ(additions.stringForQuery("SELECT b FROM t WHERE a IS NULL"), "100%");

  EXPECT_FALSE(db->inSavePoint([&](bool* rollback) {
    db->executeUpdate("DELETE FROM t");
    *rollback = true;
  }).has_value());
  EXPECT_EQ(additions.intForQuery("SELECT count(*) FROM t"), 3);
  EXPECT_TRUE(db->startSavePointWithName("it's"));
  EXPECT_TRUE(db->releaseSavePointWithName("it's"));

  EXPECT_TRUE(additions.tableExists("T"));
  EXPECT_TRUE(additions.columnExists("t", "B"));
  EXPECT_FALSE(additions.columnExists("t'); DROP TABLE t; --", "a"));
  EXPECT_TRUE(additions.tableExists("t"));
  additions.setUserVersion(42);
  EXPECT_EQ(additions.userVersion(), 42u);
  additions.setApplicationIDString("LTDB");
  EXPECT_EQ(additions.applicationIDString(), "LTDB");
  NSError error;
  EXPECT_FALSE(additions.validateSQL("SELEC 1", &error));
  EXPECT_EQ(error.domain, NSCocoaErrorDomain);
  EXPECT_FALSE(db->setKeyWithData({1, 2}));
  EXPECT_EQ(LiteDbDarwinDatabase::LiteDbDarwinDBVersion(), 0x278u);

  db->makeFunctionNamed("twice", 1, [](sqlite3_context* context, int, sqlite3_value** argv) {
    LiteDbDarwinDatabase::resultLong(2 * LiteDbDarwinDatabase::valueLong(argv[0]), context);
  });
  EXPECT_EQ(additions.longForQuery("SELECT twice(21)"), 42);
  db->setDateFormat(LiteDbDarwinDatabase::storeableDateFormat("yyyy-MM-dd"));
  EXPECT_TRUE(db->executeUpdate("INSERT INTO t VALUES (?, 'd')",
                                {NSDate::dateWithTimeIntervalSince1970(86400)}));
  EXPECT_EQ(additions.stringForQuery("SELECT a FROM t WHERE b = 'd'"), "1970-01-02");
  EXPECT_EQ(additions.dateForQuery("SELECT a FROM t WHERE b = 'd'"),
            NSDate::dateWithTimeIntervalSince1970(86400));
}

TEST(LiteDbDarwinDatabaseQueueTest, TransactionsReentryAndReopening) {
  testing::TemporaryFolder folder;
  auto queue = LiteDbDarwinDatabaseQueue::databaseQueueWithPath(folder.file("q.db"));
  ASSERT_TRUE(queue);
  queue->inDatabase([](LiteDbDarwinDatabase* db) { db->executeUpdate("CREATE TABLE t (v)"); });
  queue->inTransaction([](LiteDbDarwinDatabase* db, bool* rollback) {
    db->executeUpdate("INSERT INTO t VALUES (1)");
    *rollback = true;
  });
  bool nested_ran = false;
  queue->inDatabase([&](LiteDbDarwinDatabase* db) {
    EXPECT_FALSE(db->isInTransaction());
    EXPECT_EQ(LiteDbDarwinDatabaseAdditions(*db).intForQuery("SELECT count(*) FROM t"), 0);
    // A transaction already open makes the next begin fail; its block must not run.
    db->beginTransaction();
  });
  queue->inTransaction([&](LiteDbDarwinDatabase*, bool*) { nested_ran = true; });
  EXPECT_FALSE(nested_ran);
  queue->inDatabase([&](LiteDbDarwinDatabase*) {
    queue->inDatabase([&](LiteDbDarwinDatabase*) { nested_ran = true; });
  });
  EXPECT_FALSE(nested_ran);
  queue->close();
  queue->inDatabase([](LiteDbDarwinDatabase* db) { EXPECT_TRUE(db != nullptr && db->isOpen()); });
  queue->close();
  EXPECT_FALSE(LiteDbDarwinDatabaseQueue::databaseQueueWithPath(folder.file("none/x.db"),
                                                                SQLITE_OPEN_READONLY));
}

// The queue's connection is opened without SQLite's own locking: the queue alone must keep its
// blocks apart, whichever threads send them, and interrupting from another thread still works.
TEST(LiteDbDarwinDatabaseQueueTest, BlocksFromManyThreadsRunOneAtATimeAndCanBeInterrupted) {
  testing::TemporaryFolder folder;
  auto queue = LiteDbDarwinDatabaseQueue::databaseQueueWithPath(folder.file("many.db"));
  ASSERT_TRUE(queue);
  queue->inDatabase([](LiteDbDarwinDatabase* db) {
    db->executeUpdate("PRAGMA synchronous = OFF");
    db->executeUpdate("CREATE TABLE t (v)");
  });

  constexpr int kThreads = 4, kRowsEach = 50;
  std::atomic<int> running{0}, overlaps{0};
  std::vector<std::thread> senders;
  for (int sender = 0; sender < kThreads; ++sender) {
    senders.emplace_back([&, sender] {
      for (int i = 0; i < kRowsEach; ++i) {
        auto insert = [&, value = sender * kRowsEach + i](LiteDbDarwinDatabase* db) {
          if (running.fetch_add(1) != 0) ++overlaps;
          db->executeUpdate("INSERT INTO t VALUES (?)", {int64_t{value}});
          auto rows = db->executeQuery("SELECT count(*) FROM t");
          if (rows && rows->next()) rows->close();
          running.fetch_sub(1);
        };
        if (i % 2 == 0) {
          queue->inDatabaseAsync(insert);
        } else {
          queue->inDatabase(insert);
        }
      }
    });
  }
  for (auto& sender : senders) sender.join();
  int64_t count = 0, sum = 0;
  queue->inDatabase([&](LiteDbDarwinDatabase* db) {
    LiteDbDarwinDatabaseAdditions additions(*db);
    count = additions.longForQuery("SELECT count(*) FROM t");
    sum = additions.longForQuery("SELECT sum(v) FROM t");
  });
  constexpr int kRows = kThreads * kRowsEach;
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(count, kRows);
  EXPECT_EQ(sum, int64_t{kRows} * (kRows - 1) / 2);

  // A statement that would run for hours ends once interrupted from this thread. The state is
  // shared so that a statement that never ends cannot outlive what it writes to.
  struct Outcome {
    std::atomic<bool> done{false};
    std::atomic<int> code{SQLITE_OK};
  };
  auto outcome = std::make_shared<Outcome>();
  queue->inDatabaseAsync([outcome](LiteDbDarwinDatabase* db) {
    auto rows = db->executeQuery(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT count(*) FROM n");
    if (rows) rows->next();
    outcome->code = db->lastErrorCode();
    outcome->done = true;
  });
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!outcome->done && std::chrono::steady_clock::now() < deadline) {
    queue->interrupt();
    std::this_thread::yield();
  }
  ASSERT_TRUE(outcome->done.load());
  EXPECT_EQ(outcome->code.load(), SQLITE_INTERRUPT);
  queue->close();
}

}  // namespace
}  // namespace litedb
