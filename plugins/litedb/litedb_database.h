// One open database as the Dart side sees it: its work queue, the transaction that owns it, the
// operations held back while another transaction runs, and its open cursors. Everything but
// inDatabase and close runs on the database's work queue, one task at a time, so this state needs
// no lock of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/ns_error.h"
#include "plugins/litedb/litedb_cursor.h"
#include "plugins/litedb/litedb_darwin_database_queue.h"
#include "plugins/litedb/litedb_operation.h"
#include "plugins/litedb/litedb_reply_limit.h"

namespace litedb {

// The work of one SQL call on the connection.
using LiteDbSqlHandler = std::function<void(LiteDbDarwinDatabase& db, LiteDbOperation& operation)>;

struct LiteDbQueuedOperation {
  std::shared_ptr<LiteDbOperation> operation;
  LiteDbSqlHandler handler;
};

// The answer to a call on a database that is no longer open.
FlutterError databaseClosedError();

class LiteDbDatabase : public std::enable_shared_from_this<LiteDbDatabase> {
 public:
  std::shared_ptr<LiteDbDarwinDatabaseQueue> fmDatabaseQueue;
  int64_t databaseId = 0;
  std::string path;
  bool singleInstance = false;
  int32_t logLevel = 0;

  // The flag follows the "inTransaction" argument of statements; it is reported when a single
  // instance is opened again, from the main thread, hence atomic.
  bool inTransaction() const { return in_transaction_.load(); }
  void setInTransaction(bool value) { in_transaction_.store(value); }

  // Queues the task behind every call that came before it; it runs on the database's work queue
  // once the database has a work slot (LiteDbWorkSlots). The task gets null once the database
  // has been closed.
  void inDatabase(LiteDbDarwinDatabaseBlock block);
  // Lets the work already queued run in its order, as it would without the close, and
  // interrupts what of it still runs kCloseGrace from now; then, on the work queue and without
  // waiting for a slot: closes the cursors, answers the operations still held back, closes the
  // connection and calls `done`.
  void close(std::function<void()> done);
  // Long enough for any call of ordinary length to end, short enough that a close behind an
  // endless statement is answered promptly.
  static constexpr std::chrono::seconds kCloseGrace{1};

  // The SQL calls, on the work queue.
  void dbExecute(LiteDbDarwinDatabase& db, const std::shared_ptr<LiteDbOperation>& operation);
  void dbInsert(LiteDbDarwinDatabase& db, const std::shared_ptr<LiteDbOperation>& operation);
  void dbUpdate(LiteDbDarwinDatabase& db, const std::shared_ptr<LiteDbOperation>& operation);
  void dbQuery(LiteDbDarwinDatabase& db, const std::shared_ptr<LiteDbOperation>& operation);
  void dbQueryCursorNext(LiteDbDarwinDatabase& db,
                         const std::shared_ptr<LiteDbOperation>& operation);
  void dbBatch(LiteDbDarwinDatabase& db, const std::shared_ptr<LiteDbOperation>& operation);

 private:
  bool dbDoInsert(LiteDbDarwinDatabase& db, LiteDbOperation& operation);
  bool dbDoUpdate(LiteDbDarwinDatabase& db, LiteDbOperation& operation);
  // The page is built within `budget`, which a batch shares among its entries.
  bool dbDoQuery(LiteDbDarwinDatabase& db, LiteDbOperation& operation, LiteDbReplyBudget& budget);
  bool dbDoExecute(LiteDbDarwinDatabase& db, LiteDbOperation& operation);
  bool dbExecuteOrError(LiteDbDarwinDatabase& db, LiteDbOperation& operation);
  void executeInTransaction(LiteDbDarwinDatabase& db, LiteDbOperation& operation);
  // Reports `failure`, or the connection's last error, with the statement as details.
  void dbHandleError(LiteDbDarwinDatabase& db, LiteDbOperation& operation,
                     const std::optional<NSError>& failure = std::nullopt);
  // The transaction gate: runs the handler now, or holds it back while another transaction owns
  // the database.
  void wrapSqlOperationHandler(LiteDbDarwinDatabase& db,
                               const std::shared_ptr<LiteDbOperation>& operation,
                               LiteDbSqlHandler handler);
  void dbRunQueuedOperations(LiteDbDarwinDatabase& db);
  void closeCursorById(int32_t cursorId);
  void closeCursor(int32_t cursorId);
  void logStatement(const std::string& sql, const flutter::ValueList& arguments) const;
  // The work slot: handing queued tasks to the work queue one at a time while the database holds
  // one. `work_mutex_` keeps the order in which tasks reach the work queue.
  void startWork();
  void workFinished();
  void handOverLocked(LiteDbDarwinDatabaseBlock block, bool holdsSlot);

  std::atomic<bool> in_transaction_{false};
  int32_t last_cursor_id_ = 0;
  std::map<int32_t, std::unique_ptr<LiteDbCursor>> cursor_map_;
  int32_t last_transaction_id_ = 0;
  std::optional<int32_t> current_transaction_id_;
  std::deque<LiteDbQueuedOperation> no_transaction_operation_queue_;

  enum class Slot { none, requested, held };
  std::mutex work_mutex_;
  std::deque<LiteDbDarwinDatabaseBlock> waiting_work_;
  Slot slot_ = Slot::none;
  bool closing_ = false;
};

}  // namespace litedb
