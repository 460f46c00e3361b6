// A work queue that owns one connection and runs every piece of work on it, one at a time, on a
// private serial dispatch queue.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_error.h"
#include "platform/foundation/ns_url.h"
#include "plugins/litedb/litedb_darwin_database.h"

namespace litedb {

// The connection, or null when it could not be (re)opened or the queue has been closed.
using LiteDbDarwinDatabaseBlock = std::function<void(LiteDbDarwinDatabase* db)>;
using LiteDbDarwinTransactionBlock = std::function<void(LiteDbDarwinDatabase* db, bool* rollback)>;

class LiteDbDarwinDatabaseQueue : public std::enable_shared_from_this<LiteDbDarwinDatabaseQueue> {
 public:
  static constexpr int kDefaultFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

  // A queue with its connection open, or null when opening failed. No path means an in-memory
  // database.
  static std::shared_ptr<LiteDbDarwinDatabaseQueue> databaseQueueWithPath(
      std::optional<std::string> path, int flags = kDefaultFlags,
      std::optional<std::string> vfsName = std::nullopt);
  static std::shared_ptr<LiteDbDarwinDatabaseQueue> databaseQueueWithURL(
      const NSURL* url, int flags = kDefaultFlags, std::optional<std::string> vfsName = std::nullopt);
  static const char* databaseClass() { return "LiteDbDarwinDatabase"; }
  // The flags the connection is opened with: the queue is its only user, one block at a time,
  // so SQLite's own locking of it on every step and column read is left out, unless the caller
  // asks for it with SQLITE_OPEN_FULLMUTEX.
  static int connectionFlags(int flags);

  LiteDbDarwinDatabaseQueue(std::optional<std::string> path, int flags,
                            std::optional<std::string> vfsName);
  ~LiteDbDarwinDatabaseQueue();

  const std::optional<std::string>& path() const { return path_; }
  int openFlags() const { return open_flags_; }
  const std::optional<std::string>& vfsName() const { return vfs_name_; }

  // Runs the block on the queue and waits for it. A block that calls this on its own queue is
  // reported and refused rather than left to deadlock.
  void inDatabase(const LiteDbDarwinDatabaseBlock& block);
  // Queues the block behind the work already queued and returns at once. The block gets the
  // connection as it is: null once the queue has been closed, never a reopened one.
  void inDatabaseAsync(LiteDbDarwinDatabaseBlock block);
  // Closes the connection on the queue, after the work already queued, and waits.
  void close();
  // The same without waiting; `done` runs on the queue once the connection is closed.
  void closeAsync(std::function<void()> done);
  // On the caller's thread, so that it can stop a statement the queue is running.
  void interrupt();
  // Every statement that runs, or waits for a busy database, past `deadline` until the connection
  // closes is interrupted.
  void interruptFrom(std::chrono::steady_clock::time_point deadline);

  // Transactions: begin, run the block, then roll back if it asked to or commit. A block whose
  // transaction could not begin is not run.
  void inTransaction(const LiteDbDarwinTransactionBlock& block) { inExclusiveTransaction(block); }
  void inExclusiveTransaction(const LiteDbDarwinTransactionBlock& block);
  void inDeferredTransaction(const LiteDbDarwinTransactionBlock& block);
  void inImmediateTransaction(const LiteDbDarwinTransactionBlock& block);
  std::optional<NSError> inSavePoint(const LiteDbDarwinTransactionBlock& block);

  bool checkpoint(int mode, NSError* error = nullptr) {
    return checkpoint(mode, std::nullopt, nullptr, nullptr, error);
  }
  bool checkpoint(int mode, const std::optional<std::string>& name, int* logFrameCount,
                  int* checkpointCount, NSError* error = nullptr);

  std::string description() const;

 private:
  enum class TransactionKind { exclusive, deferred, immediate };
  // Begins a transaction of the kind, runs the block in it, then commits or rolls back.
  void runInTransaction(TransactionKind kind, const LiteDbDarwinTransactionBlock& block);
  // The connection on demand: reopened when it is not open.
  LiteDbDarwinDatabase* database();

  void setDatabase(std::shared_ptr<LiteDbDarwinDatabase> db);
  void closeDatabase();

  dispatch_queue_t queue_;
  // Replaced and closed only on the queue, under the lock that interrupt() takes on its thread.
  mutable std::mutex db_mutex_;
  std::shared_ptr<LiteDbDarwinDatabase> db_;
  int open_flags_;
  std::optional<std::string> path_;
  std::optional<std::string> vfs_name_;
};

}  // namespace litedb
