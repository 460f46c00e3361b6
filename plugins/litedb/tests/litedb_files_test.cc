// The files SQLite opens for the database plug-in: pipes, links swapped under an open, files
// truncated by another program and names relative to the working directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "plugins/litedb/tests/litedb_plugin_fixture.h"

namespace litedb {
namespace {

using flutter::Value;
using flutter::testing::MethodReply;
using testing::cursorOf;
using testing::list;
using testing::map;

class LiteDbFilesTest : public testing::LiteDbPluginTest {
 protected:
  void TearDown() override {
    // A reader stuck opening a pipe is let go, so that a failing build fails and never hangs.
    for (const auto& pipe : pipes_) freeStuckReader(pipe);
  }

  std::string pipeAt(const std::string& path) {
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
    pipes_.push_back(path);
    return path;
  }

  // Opening the pipe for writing succeeds, without blocking, only while a reader waits on it.
  static bool freeStuckReader(const std::string& pipe) {
    int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer < 0) return false;
    ::close(writer);
    return true;
  }

  // The statement's answer, which must come long before a blocking open would give up.
  MethodReply executeOn(int64_t id, const std::string& sql) {
    return callAsync("execute", map({{"id", Value(id)}, {"sql", Value(sql)}}))
        .wait(std::chrono::seconds(5));
  }

  int64_t openReadOnly(const std::string& path) {
    auto reply = call("openDatabase", map({{"path", Value(path)}, {"readOnly", Value(true)}}));
    EXPECT_TRUE(reply.isSuccess()) << reply.describe();
    return reply.value.find("id") ? *reply.value.find("id")->asInteger() : -1;
  }

  static std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  std::vector<std::string> pipes_;
};

TEST_F(LiteDbFilesTest, PipesSqliteWouldOpenOnItsOwnAreRefusedAtOnce) {
  std::string pipe = pipeAt(folder.file("attached.db"));
  std::string main = folder.file("main.db");
  int64_t id = open(main);
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  EXPECT_TRUE(executeOn(id, "ATTACH 'file:" + pipe + "?mode=ro' AS f").isError());
  EXPECT_TRUE(executeOn(id, "VACUUM INTO '" + pipe + "'").isError());
  EXPECT_TRUE(executeOn(openReadOnly(main), "ATTACH '" + pipe + "' AS f").isError());

  // Companions that appear after the open: a hot journal, a write-ahead log and its index.
  for (const char* companion : {"-journal", "-wal", "-shm"}) {
    std::string path = folder.file(std::string("companion") + companion + ".db");
    int64_t setup = open(path);
    ASSERT_TRUE(execute(setup, "CREATE TABLE t (v)").isSuccess());
    if (std::string(companion) != "-journal") {
      ASSERT_TRUE(query(setup, "PRAGMA journal_mode = WAL").isSuccess());
    }
    ASSERT_TRUE(close(setup).isSuccess());
    int64_t reopened = open(path);
    pipeAt(path + companion);
    EXPECT_TRUE(executeOn(reopened, "INSERT INTO t VALUES (1)").isError()) << companion;
    EXPECT_TRUE(close(reopened).isSuccess());
  }
}

// SQLite removes the "-journal" of an empty database as stale without opening it: one that is
// not a regular file is another program's, left there, and the statement that needs a journal
// fails.
TEST_F(LiteDbFilesTest, AJournalThatIsNotAFileBesideAnEmptyDatabaseIsLeftThere) {
  for (const char* kind : {"fifo", "directory"}) {
    SCOPED_TRACE(kind);
    std::string path = folder.file(std::string("empty-") + kind + ".db");
    int64_t id = open(path);
    const std::string journal = path + "-journal";
    if (std::string(kind) == "fifo") {
      pipeAt(journal);
    } else {
      ASSERT_TRUE(std::filesystem::create_directory(journal));
    }
    MethodReply created = executeOn(id, "CREATE TABLE t (v)");
    EXPECT_TRUE(created.isError());
    EXPECT_NE(created.error.message.value_or("").find("Code=14"), std::string::npos)
        << created.describe();
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(journal)))
        << "it was removed";
    EXPECT_FALSE(std::filesystem::is_regular_file(journal));
    EXPECT_TRUE(close(id).isSuccess());
  }
}

// A companion with a second name (a hard link, as "cp -al" or "rsync --link-dest" backups make)
// is another file too: SQLite would write its log or index into it. It is refused like a pipe,
// and the other file is left as it was. The database itself may have several names: a
// hard-linked database is the user's choice, and it is used.
TEST_F(LiteDbFilesTest, ACompanionWithAnotherNameIsRefusedAndTheOtherFileKept) {
  const std::string precious(5000, 'p');
  for (const char* companion : {"-wal", "-shm", "-journal"}) {
    SCOPED_TRACE(companion);
    std::string path = folder.file(std::string("linked") + companion + ".db");
    int64_t setup = open(path);
    ASSERT_TRUE(execute(setup, "CREATE TABLE t (v)").isSuccess());
    ASSERT_TRUE(execute(setup, "INSERT INTO t VALUES ('kept')").isSuccess());
    if (std::string(companion) != "-journal") {
      ASSERT_TRUE(query(setup, "PRAGMA journal_mode = WAL").isSuccess());
    }
    ASSERT_TRUE(close(setup).isSuccess());
    std::string other = folder.file(std::string("other") + companion);
    std::ofstream(other, std::ios::binary) << precious;
    ASSERT_EQ(::link(other.c_str(), (path + companion).c_str()), 0);

    int64_t reopened = open(path);
    auto inserted = executeOn(reopened, "INSERT INTO t VALUES (randomblob(20000))");
    EXPECT_NE(inserted.describe().find("Code=14"), std::string::npos) << inserted.describe();
    close(reopened);
    EXPECT_TRUE(contentsOf(other) == precious) << "the other file was written";
    std::filesystem::remove(path + companion);
    int64_t again = open(path);
    EXPECT_EQ(*query(again, "SELECT v FROM t").value.find("rows"), list({list({Value("kept")})}));
    close(again);
  }

  std::string main = folder.file("main.db");
  ASSERT_TRUE(close(open(main)).isSuccess());
  ASSERT_EQ(::link(main.c_str(), folder.file("main-too.db").c_str()), 0);
  int64_t id = open(main);
  EXPECT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  close(id);
}

TEST_F(LiteDbFilesTest, ALinkSwappedToAPipeNeverBlocksTheMainThread) {
  std::string real = folder.file("real.db");
  ASSERT_TRUE(close(open(real)).isSuccess());
  std::string pipe = pipeAt(folder.file("pipe"));
  std::string link = folder.file("link.db");
  std::atomic<bool> done{false};
  std::thread swapper([&] {
    std::string next = folder.file("link.next");
    for (int i = 0; !done; ++i) {
      ::symlink(i % 2 == 0 ? real.c_str() : pipe.c_str(), next.c_str());
      ::rename(next.c_str(), link.c_str());
    }
  });
  // Were an open to block, the watchdog lets it go after a while, and says so.
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<bool> freed_by_watchdog{false};
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    auto stopped = [&] { return done.load(); };
    if (finished.wait_for(lock, std::chrono::seconds(5), stopped)) return;
    while (!finished.wait_for(lock, std::chrono::milliseconds(50), stopped)) {
      if (freeStuckReader(pipe)) freed_by_watchdog = true;
    }
  });

  // Read-only, as only then does opening a pipe wait for a writer.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (int i = 0; i < 1000 && std::chrono::steady_clock::now() < until; ++i) {
    auto reply = call("openDatabase", map({{"path", Value(link)}, {"readOnly", Value(true)}}));
    if (reply.isSuccess()) {
      close(*reply.value.find("id")->asInteger());
    } else {
      EXPECT_EQ(reply.error.message, "open_failed " + link) << reply.describe();
    }
  }
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_all();
  swapper.join();
  watchdog.join();
  EXPECT_FALSE(freed_by_watchdog);
}

TEST_F(LiteDbFilesTest, MemoryMappingStaysOffSoATruncatedFileIsAnErrorNotACrash) {
  std::string path = folder.file("mapped.db");
  int64_t id = open(path);
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  ASSERT_TRUE(execute(id,
                      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                      "WHERE x < 2000) INSERT INTO t SELECT randomblob(4000) FROM c")
                  .isSuccess());
  EXPECT_EQ(*query(id, "PRAGMA mmap_size = 268435456").value.find("rows"),
            list({list({Value(int64_t{0})})}));

  auto first = query(id, "SELECT v FROM t", Value("cursorPageSize"), Value(int32_t{1}));
  ASSERT_TRUE(cursorOf(first).has_value()) << first.describe();
  // Another program cuts the file short under the open cursor.
  ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
  for (int page = 0; page < 2000; ++page) {
    auto reply = next(id, static_cast<int32_t>(*cursorOf(first)));
    ASSERT_FALSE(reply.isPending());
    if (reply.isError() || !cursorOf(reply)) break;
  }
  close(id);
}

TEST_F(LiteDbFilesTest, RelativeNamesInSqlNeverReachTheWorkingDirectory) {
  std::string started_here = folder.file("started-here");
  std::filesystem::create_directory(started_here);
  auto previous = std::filesystem::current_path();
  std::filesystem::current_path(started_here);
  int64_t id = open(folder.file("main.db"));
  ASSERT_TRUE(execute(id, "CREATE TABLE t (v)").isSuccess());
  for (const char* sql : {"ATTACH 'relative.db' AS r", "ATTACH 'file:relative.db' AS r",
                          "ATTACH 'file:relative.db?vfs=unix' AS r",
                          "ATTACH 'sub/../relative.db' AS r", "VACUUM INTO 'relative.db'"}) {
    EXPECT_TRUE(executeOn(id, sql).isError()) << sql;
  }
  std::filesystem::current_path(previous);
  EXPECT_TRUE(std::filesystem::is_empty(started_here));
  // Names that start at the root still work.
  EXPECT_TRUE(execute(id, "ATTACH '" + folder.file("other.db") + "' AS o").isSuccess());
  close(id);
}

}  // namespace
}  // namespace litedb
