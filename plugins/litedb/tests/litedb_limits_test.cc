// The database at the system's limits: a write past a file-size limit and a process with no
// descriptor left. Each is answered as an error to its caller, the host runs on, nothing written
// before is lost, and no hot journal is left to be played back by the next host.
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/testing/foundation_controls.h"
#include "platform/foundation/testing/system_limits.h"
#include "plugins/litedb/tests/litedb_plugin_fixture.h"

namespace litedb {
namespace {

using flutter::Value;
using flutter::testing::MethodReply;
using testing::list;
using testing::map;

constexpr int kRows = 16;

class LiteDbLimitsTest : public testing::LiteDbPluginTest {
 protected:
  int64_t filled() {
    int64_t id = open(folder.file("limits.db"));
    EXPECT_TRUE(execute(id, "CREATE TABLE t (k INTEGER PRIMARY KEY, v BLOB)").isSuccess());
    for (int row = 0; row < kRows; ++row) {
      EXPECT_TRUE(insert(id, "INSERT INTO t (v) VALUES (randomblob(1000))").isSuccess());
    }
    return id;
  }

  // Every row is there, the file is sound, and only the database file is in the folder.
  void expectIntact(int64_t id) {
    auto counted = query(id, "SELECT count(*) AS n FROM t");
    ASSERT_TRUE(counted.isSuccess()) << counted.describe();
    EXPECT_NE(counted.value.debugString().find(std::to_string(kRows)), std::string::npos)
        << counted.value.debugString();
    auto checked = query(id, "PRAGMA integrity_check");
    ASSERT_TRUE(checked.isSuccess()) << checked.describe();
    EXPECT_NE(checked.value.debugString().find("ok"), std::string::npos);
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      if (entry.is_regular_file()) files.insert(entry.path().filename());
    }
    EXPECT_EQ(files, std::set<std::string>{"limits.db"});
  }
};

TEST_F(LiteDbLimitsTest, ARowPastTheFileSizeLimitIsAnErrorAndLeavesNoJournal) {
  int64_t id = filled();
  std::vector<bool> failed;
  {
    foundation::testing::FileSizeLimit limit(1'000'000);
    ASSERT_TRUE(limit.active());
    auto past = insert(id, "INSERT INTO t (v) VALUES (randomblob(2000000))");
    failed.push_back(past.isError());
    // In an explicit transaction the row waits in memory, and its commit is what fails.
    auto begun = call("execute", map({{"id", Value(id)},
                                      {"sql", Value("BEGIN IMMEDIATE")},
                                      {"inTransaction", Value(true)},
                                      {"transactionId", Value()}}));
    ASSERT_TRUE(begun.isSuccess()) << begun.describe();
    Value transaction = *begun.value.find("transactionId");
    ASSERT_TRUE(insert(id, "INSERT INTO t (v) VALUES (randomblob(2000000))", Value(), transaction)
                    .isSuccess());
    failed.push_back(call("execute", map({{"id", Value(id)},
                                          {"sql", Value("COMMIT")},
                                          {"inTransaction", Value(false)},
                                          {"transactionId", transaction}}))
                         .isError());
    // Whatever the failed commit left open is ended.
    call("execute", map({{"id", Value(id)},
                         {"sql", Value("ROLLBACK")},
                         {"inTransaction", Value(false)},
                         {"transactionId", transaction}}));
  }
  EXPECT_EQ(failed, (std::vector<bool>{true, true}));
  expectIntact(id);
  ASSERT_TRUE(close(id).isSuccess());
  id = open(folder.file("limits.db"));
  expectIntact(id);
}

// SQLite keeps neither the cause of a failed write nor the file; the log line names both, and
// the answer stays SQLite's own.
TEST_F(LiteDbLimitsTest, AWritePastTheFileSizeLimitIsLoggedWithItsCause) {
  int64_t id = filled();
  foundation::testing::setLogCapture(true);
  MethodReply past;
  {
    foundation::testing::FileSizeLimit limit(1'000'000);
    ASSERT_TRUE(limit.active());
    past = insert(id, "INSERT INTO t (v) VALUES (randomblob(2000000))");
  }
  EXPECT_NE(past.describe().find("Code=778"), std::string::npos) << past.describe();
  size_t named = 0;
  for (const auto& line : foundation::testing::takeLogLines()) {
    if (line.find("sqlite3_step") == std::string::npos) continue;
    EXPECT_NE(line.find(folder.file("limits.db")), std::string::npos) << line;
    EXPECT_NE(line.find("File too large (EFBIG)"), std::string::npos) << line;
    EXPECT_NE(line.substr(line.size() - 3), " rs") << line;
    ++named;
  }
  foundation::testing::setLogCapture(false);
  EXPECT_EQ(named, 1u);
  expectIntact(id);
}

// A limit lower than the file's size, inside a page: rewriting a page past the limit is refused
// by the system even though the file would not grow. What is there stays readable, a change that cannot be
// made is one error that changes nothing, and the database takes writes once the limit allows.
TEST_F(LiteDbLimitsTest, AFileAlreadyPastTheFileSizeLimitIsReadAndItsFailedWritesChangeNothing) {
  int64_t id = filled();
  ASSERT_GT(std::filesystem::file_size(folder.file("limits.db")), 16'384u);
  std::vector<std::string> answers;
  {
    foundation::testing::FileSizeLimit limit(10'000);
    ASSERT_TRUE(limit.active());
    auto describe = [](const auto& result) {
      return std::string(result.isSuccess() ? "ok" : "error");
    };
    answers.push_back(describe(query(id, "SELECT count(*) AS n FROM t")));
    answers.push_back(
        describe(execute(id, "UPDATE t SET v = randomblob(1000) WHERE k = " + std::to_string(kRows))));
    answers.push_back(describe(query(id, "SELECT count(*) AS n FROM t")));
    answers.push_back(describe(insert(id, "INSERT INTO t (v) VALUES (randomblob(1000))")));
    answers.push_back(describe(query(id, "SELECT v FROM t WHERE k = " + std::to_string(kRows))));
  }
  EXPECT_EQ(answers, (std::vector<std::string>{"ok", "error", "ok", "error", "ok"}));
  expectIntact(id);
  ASSERT_TRUE(execute(id, "UPDATE t SET v = randomblob(1000) WHERE k = 1").isSuccess());
  expectIntact(id);
}

TEST_F(LiteDbLimitsTest, WithNoDescriptorLeftCallsAnswerErrorsAndNothingIsLost) {
  int64_t id = filled();
  std::vector<bool> failed;
  {
    foundation::testing::DescriptorsExhausted exhausted;
    ASSERT_TRUE(exhausted.active());
    failed.push_back(
        call("openDatabase", map({{"path", Value(folder.file("other.db"))}})).isError());
    failed.push_back(insert(id, "INSERT INTO t (v) VALUES (randomblob(100000))").isError());
  }
  EXPECT_EQ(failed, (std::vector<bool>{true, true}));
  expectIntact(id);
}

}  // namespace
}  // namespace litedb
