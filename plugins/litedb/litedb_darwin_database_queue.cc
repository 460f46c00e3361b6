#include "plugins/litedb/litedb_darwin_database_queue.h"

#include <atomic>
#include <cstdio>

#include "platform/foundation/ns_log.h"

namespace litedb {
namespace {

// The queue-specific key that tells a block which work queue it runs on.
const char kQueueSpecificKey = 0;

// A block that leaves a result set open keeps its statement busy on the shared connection.
void warnIfResultSetsLeftOpen(LiteDbDarwinDatabase* db) {
  if (db != nullptr && db->hasOpenResultSets()) {
    NSLog("Warning: there is at least one open result set around after performing "
          "[LiteDbDarwinDatabaseQueue inDatabase:]");
  }
}

}  // namespace

int LiteDbDarwinDatabaseQueue::connectionFlags(int flags) {
  return (flags & SQLITE_OPEN_FULLMUTEX) != 0 ? flags : flags | SQLITE_OPEN_NOMUTEX;
}

std::shared_ptr<LiteDbDarwinDatabaseQueue> LiteDbDarwinDatabaseQueue::databaseQueueWithPath(
    std::optional<std::string> path, int flags, std::optional<std::string> vfsName) {
  auto db = LiteDbDarwinDatabase::databaseWithPath(path);
  if (!db->openWithFlags(connectionFlags(flags), vfsName)) {
    NSLog("Could not create database queue for path %s", path ? path->c_str() : "(null)");
    return nullptr;
  }
  auto queue = std::make_shared<LiteDbDarwinDatabaseQueue>(std::move(path), flags,
                                                           std::move(vfsName));
  queue->setDatabase(std::move(db));
  return queue;
}

std::shared_ptr<LiteDbDarwinDatabaseQueue> LiteDbDarwinDatabaseQueue::databaseQueueWithURL(
    const NSURL* url, int flags, std::optional<std::string> vfsName) {
  return databaseQueueWithPath(url != nullptr ? std::optional<std::string>(url->path())
                                              : std::nullopt,
                               flags, std::move(vfsName));
}

LiteDbDarwinDatabaseQueue::LiteDbDarwinDatabaseQueue(std::optional<std::string> path, int flags,
                                                     std::optional<std::string> vfsName)
    : queue_(dispatch_queue_create(("fmdb." + description()).c_str(), DISPATCH_QUEUE_SERIAL)),
      open_flags_(flags),
      path_(std::move(path)),
      vfs_name_(std::move(vfsName)) {
  dispatch_queue_set_specific(queue_, &kQueueSpecificKey, this);
}

LiteDbDarwinDatabaseQueue::~LiteDbDarwinDatabaseQueue() = default;

std::string LiteDbDarwinDatabaseQueue::description() const {
  char text[64];
  std::snprintf(text, sizeof text, "<LiteDbDarwinDatabaseQueue: %p>",
                static_cast<const void*>(this));
  return text;
}

void LiteDbDarwinDatabaseQueue::setDatabase(std::shared_ptr<LiteDbDarwinDatabase> db) {
  std::lock_guard lock(db_mutex_);
  db_ = std::move(db);
}

void LiteDbDarwinDatabaseQueue::closeDatabase() {
  std::lock_guard lock(db_mutex_);
  if (db_) db_->close();
  db_.reset();
}

LiteDbDarwinDatabase* LiteDbDarwinDatabaseQueue::database() {
  // Under the lock, so that an interrupt from another thread never meets a half-open connection.
  std::lock_guard lock(db_mutex_);
  if (!db_) db_ = LiteDbDarwinDatabase::databaseWithPath(path_);
  if (!db_->isOpen() && !db_->openWithFlags(connectionFlags(open_flags_), vfs_name_)) {
    NSLog("LiteDbDarwinDatabaseQueue could not reopen database for path %s",
          path_ ? path_->c_str() : "(null)");
    db_.reset();
    return nullptr;
  }
  return db_.get();
}

void LiteDbDarwinDatabaseQueue::inDatabase(const LiteDbDarwinDatabaseBlock& block) {
  if (dispatch_get_specific(&kQueueSpecificKey) == this) {
    NSLog("inDatabase: was called reentrantly on the same queue, which would lead to a deadlock");
    return;
  }
  dispatch_sync(queue_, [&] {
    LiteDbDarwinDatabase* db = database();
    block(db);
    warnIfResultSetsLeftOpen(db);
  });
}

void LiteDbDarwinDatabaseQueue::inDatabaseAsync(LiteDbDarwinDatabaseBlock block) {
  dispatch_async(queue_, [self = shared_from_this(), block = std::move(block)] {
    LiteDbDarwinDatabase* db = self->db_ && self->db_->isOpen() ? self->db_.get() : nullptr;
    block(db);
    warnIfResultSetsLeftOpen(db);
  });
}

void LiteDbDarwinDatabaseQueue::close() {
  dispatch_sync(queue_, [this] {
    closeDatabase();
  });
}

void LiteDbDarwinDatabaseQueue::closeAsync(std::function<void()> done) {
  dispatch_async(queue_, [self = shared_from_this(), done = std::move(done)] {
    self->closeDatabase();
    if (done) done();
  });
}

void LiteDbDarwinDatabaseQueue::interrupt() {
  // Under the lock, so that the connection cannot close while it is being interrupted.
  std::lock_guard lock(db_mutex_);
  if (db_) db_->interrupt();
}

void LiteDbDarwinDatabaseQueue::interruptFrom(std::chrono::steady_clock::time_point deadline) {
  std::lock_guard lock(db_mutex_);
  if (db_) db_->interruptFrom(deadline);
}

void LiteDbDarwinDatabaseQueue::runInTransaction(TransactionKind kind,
                                                 const LiteDbDarwinTransactionBlock& block) {
  dispatch_sync(queue_, [&] {
    LiteDbDarwinDatabase* db = database();
    if (db == nullptr) return;
    bool begun = false;
    switch (kind) {
      case TransactionKind::exclusive:
        begun = db->beginTransaction();
        break;
      case TransactionKind::deferred:
        begun = db->beginDeferredTransaction();
        break;
      case TransactionKind::immediate:
        begun = db->beginImmediateTransaction();
        break;
    }
    if (!begun) return;
    bool should_rollback = false;
    block(db, &should_rollback);
    if (should_rollback) {
      db->rollback();
    } else {
      db->commit();
    }
  });
}

void LiteDbDarwinDatabaseQueue::inExclusiveTransaction(const LiteDbDarwinTransactionBlock& block) {
  runInTransaction(TransactionKind::exclusive, block);
}

void LiteDbDarwinDatabaseQueue::inDeferredTransaction(const LiteDbDarwinTransactionBlock& block) {
  runInTransaction(TransactionKind::deferred, block);
}

void LiteDbDarwinDatabaseQueue::inImmediateTransaction(const LiteDbDarwinTransactionBlock& block) {
  runInTransaction(TransactionKind::immediate, block);
}

std::optional<NSError> LiteDbDarwinDatabaseQueue::inSavePoint(
    const LiteDbDarwinTransactionBlock& block) {
  static std::atomic<long> save_point_index{0};
  std::optional<NSError> failure;
  dispatch_sync(queue_, [&] {
    LiteDbDarwinDatabase* db = database();
    if (db == nullptr) return;
    std::string name = "savePoint" + std::to_string(save_point_index++);
    NSError error;
    if (!db->startSavePointWithName(name, &error)) {
      failure = error;
      return;
    }
    bool should_rollback = false;
    if (block) block(db, &should_rollback);
    if (should_rollback && !db->rollbackToSavePointWithName(name, &error)) failure = error;
    if (!db->releaseSavePointWithName(name, &error)) failure = error;
  });
  return failure;
}

bool LiteDbDarwinDatabaseQueue::checkpoint(int mode, const std::optional<std::string>& name,
                                           int* logFrameCount, int* checkpointCount,
                                           NSError* error) {
  bool ok = false;
  dispatch_sync(queue_, [&] {
    LiteDbDarwinDatabase* db = database();
    if (db != nullptr) ok = db->checkpoint(mode, name, logFrameCount, checkpointCount, error);
  });
  return ok;
}

}  // namespace litedb
