#include "plugins/litedb/litedb_database.h"

#include <sqlite3.h>

#include "platform/foundation/ns_log.h"
#include "plugins/litedb/litedb_arguments.h"
#include "plugins/litedb/litedb_batch_operation.h"
#include "plugins/litedb/litedb_sql_values.h"
#include "plugins/litedb/litedb_work_slots.h"

namespace litedb {
namespace {

constexpr const char* kSqliteErrorCode = "sqlite_error";
constexpr const char* kDefensiveOffStatement = "PRAGMA litedb -- db_config_defensive_off";

// The statement an error answer names, for the caller to tell which one failed.
flutter::Value statementDetails(const std::string& sql, const flutter::ValueList& arguments) {
  flutter::ValueMap details;
  details.append(flutter::Value("sql"), flutter::Value(sql));
  details.append(flutter::Value("arguments"), flutter::Value(arguments));
  return flutter::Value(std::move(details));
}

FlutterError replyTooLarge(const std::string& sql, const flutter::ValueList& arguments) {
  return FlutterError{kReplyTooLargeCode,
                      "The rows pass the reply limit of " + std::to_string(kMaxReplyBytes) +
                          " bytes; read them in pages with a smaller cursorPageSize",
                      statementDetails(sql, arguments)};
}

}  // namespace

FlutterError databaseClosedError() { return FlutterError{kSqliteErrorCode, "database_closed", nullptr}; }

void LiteDbDatabase::inDatabase(LiteDbDarwinDatabaseBlock block) {
  {
    std::lock_guard lock(work_mutex_);
    if (closing_) {
      handOverLocked(std::move(block), false);
      return;
    }
    waiting_work_.push_back(std::move(block));
    if (slot_ != Slot::none) return;
    slot_ = Slot::requested;
  }
  LiteDbWorkSlots::shared().request([self = shared_from_this()] { self->startWork(); });
}

void LiteDbDatabase::startWork() {
  {
    std::lock_guard lock(work_mutex_);
    if (!waiting_work_.empty()) {
      slot_ = Slot::held;
      handOverLocked(std::move(waiting_work_.front()), true);
      waiting_work_.pop_front();
      return;
    }
    // Closing handed the work over already.
    slot_ = Slot::none;
  }
  LiteDbWorkSlots::shared().release();
}

void LiteDbDatabase::workFinished() {
  auto& slots = LiteDbWorkSlots::shared();
  bool more = false;
  {
    std::lock_guard lock(work_mutex_);
    more = !waiting_work_.empty();
    if (more && !slots.othersWaiting()) {
      handOverLocked(std::move(waiting_work_.front()), true);
      waiting_work_.pop_front();
      return;
    }
    slot_ = more ? Slot::requested : Slot::none;
  }
  slots.release();
  // Behind the databases that waited, so that one busy database cannot keep the others out.
  if (more) slots.request([self = shared_from_this()] { self->startWork(); });
}

void LiteDbDatabase::handOverLocked(LiteDbDarwinDatabaseBlock block, bool holdsSlot) {
  if (!holdsSlot) {
    fmDatabaseQueue->inDatabaseAsync(std::move(block));
    return;
  }
  fmDatabaseQueue->inDatabaseAsync(
      [self = shared_from_this(), block = std::move(block)](LiteDbDarwinDatabase* db) {
        block(db);
        self->workFinished();
      });
}

void LiteDbDatabase::close(std::function<void()> done) {
  fmDatabaseQueue->interruptFrom(std::chrono::steady_clock::now() + kCloseGrace);
  auto self = shared_from_this();
  std::lock_guard lock(work_mutex_);
  closing_ = true;
  // What waited for a slot runs now: closing must not wait for other databases.
  for (auto& block : waiting_work_) handOverLocked(std::move(block), false);
  waiting_work_.clear();
  fmDatabaseQueue->inDatabaseAsync([self](LiteDbDarwinDatabase*) {
    // Cursors first: their statements must be finalized while the connection is still open.
    self->cursor_map_.clear();
    auto held_back = std::move(self->no_transaction_operation_queue_);
    self->no_transaction_operation_queue_.clear();
    for (auto& queued : held_back) queued.operation->error(databaseClosedError());
  });
  fmDatabaseQueue->closeAsync(std::move(done));
}

void LiteDbDatabase::logStatement(const std::string& sql,
                                  const flutter::ValueList& arguments) const {
  if (logLevel <= 0) return;
  NSLog("%s %s", sql.c_str(),
        arguments.empty() ? "" : flutter::Value(arguments).debugString().c_str());
}

// The transaction gate.

void LiteDbDatabase::wrapSqlOperationHandler(LiteDbDarwinDatabase& db,
                                             const std::shared_ptr<LiteDbOperation>& operation,
                                             LiteDbSqlHandler handler) {
  std::optional<int64_t> transaction_id = operation->getTransactionId();
  if (!current_transaction_id_) {
    handler(db, *operation);
    return;
  }
  if (transaction_id && (static_cast<int32_t>(*transaction_id) == *current_transaction_id_ ||
                         *transaction_id == -1)) {
    handler(db, *operation);
    if (!current_transaction_id_ && !no_transaction_operation_queue_.empty()) {
      dbRunQueuedOperations(db);
    }
    return;
  }
  no_transaction_operation_queue_.push_back(LiteDbQueuedOperation{operation, std::move(handler)});
}

void LiteDbDatabase::dbRunQueuedOperations(LiteDbDarwinDatabase& db) {
  while (!no_transaction_operation_queue_.empty()) {
    if (current_transaction_id_) return;
    LiteDbQueuedOperation queued = std::move(no_transaction_operation_queue_.front());
    no_transaction_operation_queue_.pop_front();
    queued.handler(db, *queued.operation);
  }
}

// Gated calls.

void LiteDbDatabase::dbExecute(LiteDbDarwinDatabase& db,
                               const std::shared_ptr<LiteDbOperation>& operation) {
  wrapSqlOperationHandler(db, operation, [this](LiteDbDarwinDatabase& connection,
                                                LiteDbOperation& op) {
    executeInTransaction(connection, op);
  });
}

void LiteDbDatabase::executeInTransaction(LiteDbDarwinDatabase& db, LiteDbOperation& operation) {
  std::optional<bool> in_transaction = operation.getInTransactionChange();
  if (in_transaction.value_or(false) && operation.hasNullTransactionId()) {
    int32_t transaction_id = ++last_transaction_id_;
    current_transaction_id_ = transaction_id;
    if (dbExecuteOrError(db, operation)) {
      flutter::ValueMap answer;
      answer.append(flutter::Value("transactionId"), flutter::Value(transaction_id));
      operation.success(flutter::Value(std::move(answer)));
    } else {
      current_transaction_id_.reset();
    }
    return;
  }
  const bool ends_transaction = in_transaction.has_value() && !*in_transaction;
  if (dbExecuteOrError(db, operation)) {
    if (ends_transaction) current_transaction_id_.reset();
    operation.success(flutter::Value());
    return;
  }
  // An end that fails because SQLite holds no transaction any more (a batch or a statement ended
  // it) still ends the ownership: nothing could end it later, and every call would wait for good.
  if (ends_transaction && db.sqliteHandle() != nullptr &&
      sqlite3_get_autocommit(db.sqliteHandle()) != 0) {
    current_transaction_id_.reset();
  }
}

void LiteDbDatabase::dbInsert(LiteDbDarwinDatabase& db,
                              const std::shared_ptr<LiteDbOperation>& operation) {
  wrapSqlOperationHandler(db, operation, [this](LiteDbDarwinDatabase& connection,
                                                LiteDbOperation& op) { dbDoInsert(connection, op); });
}

void LiteDbDatabase::dbUpdate(LiteDbDarwinDatabase& db,
                              const std::shared_ptr<LiteDbOperation>& operation) {
  wrapSqlOperationHandler(db, operation, [this](LiteDbDarwinDatabase& connection,
                                                LiteDbOperation& op) { dbDoUpdate(connection, op); });
}

void LiteDbDatabase::dbQuery(LiteDbDarwinDatabase& db,
                             const std::shared_ptr<LiteDbOperation>& operation) {
  wrapSqlOperationHandler(db, operation,
                          [this](LiteDbDarwinDatabase& connection, LiteDbOperation& op) {
                            LiteDbReplyBudget budget;
                            dbDoQuery(connection, op, budget);
                          });
}

// One statement.

void LiteDbDatabase::dbHandleError(LiteDbDarwinDatabase& db, LiteDbOperation& operation,
                                   const std::optional<NSError>& failure) {
  const std::string& sql = operation.getSql();
  flutter::Value details =
      sql.empty() ? flutter::Value() : statementDetails(sql, operation.getSqlArguments());
  NSError error = failure ? *failure : db.lastError();
  if (error.code == SQLITE_OK) {
    // Never "not an error": the statement failed even if SQLite has nothing to say.
    error = NSError{kLiteDbDarwinErrorDomain, SQLITE_ERROR, "The statement did not complete"};
  }
  operation.error(FlutterError{kSqliteErrorCode, error.description(), std::move(details)});
}

bool LiteDbDatabase::dbExecuteOrError(LiteDbDarwinDatabase& db, LiteDbOperation& operation) {
  const std::string& sql = operation.getSql();
  std::optional<bool> in_transaction = operation.getInTransactionChange();
  if (sql == kDefensiveOffStatement) {
    sqlite3_db_config(db.sqliteHandle(), SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
  }
  if (logLevel > 0) logStatement(sql, operation.getSqlArguments());
  bool ok = db.executeUpdate(sql, toBindValues(operation.getArgument("arguments")));
  if (in_transaction.has_value()) {
    if (!*in_transaction) {
      setInTransaction(false);
    } else if (ok) {
      setInTransaction(true);
    }
  }
  if (!ok) {
    dbHandleError(db, operation);
    return false;
  }
  return true;
}

bool LiteDbDatabase::dbDoInsert(LiteDbDarwinDatabase& db, LiteDbOperation& operation) {
  if (!dbExecuteOrError(db, operation)) return false;
  if (operation.getNoResult()) {
    operation.success(flutter::Value());
  } else if (db.changes() != 0) {
    int64_t row_id = db.lastInsertRowId();
    if (logLevel > 0) NSLog("inserted %lld", static_cast<long long>(row_id));
    operation.success(flutter::Value(row_id));
  } else {
    if (logLevel > 0) NSLog("no changes");
    operation.success(flutter::Value());
  }
  return true;
}

bool LiteDbDatabase::dbDoUpdate(LiteDbDarwinDatabase& db, LiteDbOperation& operation) {
  if (!dbExecuteOrError(db, operation)) return false;
  if (operation.getNoResult()) {
    operation.success(flutter::Value());
  } else {
    int32_t changed = db.changes();
    if (logLevel > 0) NSLog("changed %d", changed);
    operation.success(flutter::Value(changed));
  }
  return true;
}

bool LiteDbDatabase::dbDoExecute(LiteDbDarwinDatabase& db, LiteDbOperation& operation) {
  if (!dbExecuteOrError(db, operation)) return false;
  operation.success(flutter::Value());
  return true;
}

bool LiteDbDatabase::dbDoQuery(LiteDbDarwinDatabase& db, LiteDbOperation& operation,
                               LiteDbReplyBudget& budget) {
  const std::string& sql = operation.getSql();
  flutter::ValueList arguments = operation.getSqlArguments();
  std::optional<int64_t> page_size = operation.getCursorPageSize();
  logStatement(sql, arguments);
  auto resultSet = db.executeQuery(sql, toBindValues(arguments));
  // No result set is a failure whatever the error code says.
  if (!resultSet) {
    dbHandleError(db, operation);
    return false;
  }
  LiteDbResultPage page = resultSetToResults(*resultSet, page_size, budget);
  if (budget.exceeded) {
    operation.error(replyTooLarge(sql, arguments));
    return false;
  }
  if (page.error) {
    dbHandleError(db, operation, page.error);
    return false;
  }
  if (page_size && resultSet->hasAnotherRow()) {
    int32_t cursor_id = ++last_cursor_id_;
    page.page->setCursorId(cursor_id);
    db.resultSetDidClose(resultSet.get());
    cursor_map_[cursor_id] = std::make_unique<LiteDbCursor>(cursor_id, *page_size,
                                                            std::move(resultSet), std::move(sql),
                                                            std::move(arguments));
  }
  operation.success(flutter::Value(std::move(page.page)));
  return true;
}

// Cursors.

void LiteDbDatabase::dbQueryCursorNext(LiteDbDarwinDatabase& /*db*/,
                                       const std::shared_ptr<LiteDbOperation>& operation) {
  const flutter::Value* id_argument = operation->getArgument("cursorId");
  auto cursor_id = static_cast<int32_t>(id_argument != nullptr ? id_argument->asInteger().value_or(0) : 0);
  const flutter::Value* cancel_argument = operation->getArgument("cancel");
  bool cancel = cancel_argument != nullptr && cancel_argument->is<bool>() &&
                cancel_argument->get<bool>();
  if (logLevel >= 2) NSLog("queryCursorNext %d%s", cursor_id, cancel ? " (cancel)" : "");
  if (cancel) {
    closeCursorById(cursor_id);
    operation->success(flutter::Value());
    return;
  }
  auto found = cursor_map_.find(cursor_id);
  if (found == cursor_map_.end()) {
    NSLog("cursor %d not found.", cursor_id);
    operation->error(FlutterError{kSqliteErrorCode, "Cursor not found", nullptr});
    return;
  }
  LiteDbCursor& cursor = *found->second;
  LiteDbReplyBudget budget;
  LiteDbResultPage page = resultSetToResults(*cursor.resultSet, cursor.pageSize, budget);
  if (budget.exceeded) {
    // The rows read for this page are gone with it: the cursor cannot go on.
    FlutterError error = replyTooLarge(cursor.sql, cursor.arguments);
    closeCursor(cursor_id);
    operation->error(std::move(error));
    return;
  }
  if (page.error) {
    // A failed step ends the cursor; the rows read so far are not an answer.
    flutter::Value details = statementDetails(cursor.sql, cursor.arguments);
    closeCursor(cursor_id);
    operation->error(FlutterError{kSqliteErrorCode, page.error->description(), std::move(details)});
    return;
  }
  if (cursor.resultSet->hasAnotherRow()) {
    page.page->setCursorId(cursor_id);
    if (auto parent = cursor.resultSet->parentDB())
      parent->resultSetDidClose(cursor.resultSet.get());
  } else {
    closeCursor(cursor_id);
  }
  operation->success(flutter::Value(std::move(page.page)));
}

void LiteDbDatabase::closeCursor(int32_t cursorId) {
  if (logLevel >= 2) NSLog("closing cursor %d", cursorId);
  cursor_map_.erase(cursorId);
}

void LiteDbDatabase::closeCursorById(int32_t cursorId) {
  if (cursor_map_.contains(cursorId)) closeCursor(cursorId);
}

// Batches.

void LiteDbDatabase::dbBatch(LiteDbDarwinDatabase& db,
                             const std::shared_ptr<LiteDbOperation>& operation) {
  const bool no_result = operation->getNoResult();
  const bool continue_on_error = operation->getContinueOnError();
  auto results = std::make_shared<LiteDbBatchResults>();
  const flutter::Value* operations = operation->getArgument("operations");
  static const flutter::ValueList kNone;
  const flutter::ValueList& entries =
      operations != nullptr && operations->asList() != nullptr ? *operations->asList() : kNone;
  // One answer per entry at most, so the list never moves the answers it holds.
  if (!no_result) results->reserve(entries.size());
  FlutterResult reply([operation](FlutterMethodResponse response) {
    if (auto* error = std::get_if<FlutterError>(&response)) operation->error(std::move(*error));
  });
  // The whole batch is one answer: its pages share one reply's bytes.
  LiteDbReplyBudget budget;
  for (const flutter::Value& entry_value : entries) {
    static const flutter::ValueMap kEmpty;
    const flutter::ValueMap& entry = entry_value.asMap() != nullptr ? *entry_value.asMap() : kEmpty;
    LiteDbBatchOperation entry_operation(entry, no_result);
    std::string method = entry_operation.getMethod();
    bool ok = false;
    if (method == "insert") {
      ok = dbDoInsert(db, entry_operation);
    } else if (method == "update") {
      ok = dbDoUpdate(db, entry_operation);
    } else if (method == "execute") {
      ok = dbDoExecute(db, entry_operation);
    } else if (method == "query") {
      ok = dbDoQuery(db, entry_operation, budget);
    } else {
      operation->error(badParam("Batch method '" + method + "' not supported"));
      return;
    }
    if (ok) {
      entry_operation.handleSuccess(*results);
    } else if (continue_on_error && !budget.exceeded) {
      entry_operation.handleErrorContinue(*results);
    } else {
      entry_operation.handleError(reply);
      return;
    }
  }
  operation->success(no_result ? flutter::Value() : flutter::Value(std::move(results)));
}

}  // namespace litedb
