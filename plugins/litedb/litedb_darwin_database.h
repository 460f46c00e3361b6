// One SQLite connection: opening and closing, the busy handler, the statement cache, binding,
// running statements, transactions and savepoints, SQL functions, dates and checkpoints. Failures
// answer null, false or 0 and leave their details in the connection's last error. Not locked:
// used only from its work queue (LiteDbDarwinDatabaseQueue) or from one thread at a time.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/ns_date_formatter.h"
#include "platform/foundation/ns_error.h"
#include "platform/foundation/ns_url.h"
#include "plugins/litedb/litedb_darwin_result_set.h"
#include "plugins/litedb/litedb_darwin_statement.h"
#include "plugins/litedb/litedb_darwin_value.h"

namespace litedb {

inline constexpr const char* kLiteDbDarwinErrorDomain = "LiteDbDarwinDatabase";

// A scalar SQL function: context, argument count, argument values.
using LiteDbDarwinFunction = std::function<void(sqlite3_context*, int, sqlite3_value**)>;
// A row of the batch runner: column name to text (or the null marker); non-zero stops the run.
using LiteDbDarwinExecuteStatementsCallback =
    std::function<int(const std::map<std::string, LiteDbDarwinValue>& row)>;

class LiteDbDarwinDatabase : public std::enable_shared_from_this<LiteDbDarwinDatabase> {
 public:
  // A closed connection; no path means an in-memory database, an empty path SQLite's private
  // temporary database.
  static std::shared_ptr<LiteDbDarwinDatabase> databaseWithPath(std::optional<std::string> path);
  static std::shared_ptr<LiteDbDarwinDatabase> databaseWithURL(const NSURL* url);
  explicit LiteDbDarwinDatabase(std::optional<std::string> path = std::nullopt);
  ~LiteDbDarwinDatabase();
  LiteDbDarwinDatabase(const LiteDbDarwinDatabase&) = delete;
  LiteDbDarwinDatabase& operator=(const LiteDbDarwinDatabase&) = delete;

  static std::string LiteDbDarwinDBUserVersion() { return "2.7.8"; }
  static uint32_t LiteDbDarwinDBVersion();
  static std::string sqliteLibVersion();
  static bool isSQLiteThreadSafe();

  // Opening and closing. close always answers true.
  bool open();
  bool openWithFlags(int flags) { return openWithFlags(flags, std::nullopt); }
  bool openWithFlags(int flags, const std::optional<std::string>& vfsName);
  bool close();
  bool goodConnection();
  bool interrupt();
  // Interrupts every statement that runs, or waits for a busy database, past `deadline`, until
  // the connection closes; what ends before it is untouched. Any thread, while the connection
  // stays open.
  void interruptFrom(std::chrono::steady_clock::time_point deadline);
  int limitFor(int type, int value);

  // Properties.
  const std::optional<std::string>& databasePath() const { return database_path_; }
  std::optional<NSURL> databaseURL() const;
  sqlite3* sqliteHandle() const { return db_; }
  bool isOpen() const { return is_open_; }
  void setIsOpen(bool open) { is_open_ = open; }
  bool hasOpenResultSets() const { return !open_result_sets_.empty(); }
  int64_t lastInsertRowId();
  int changes();
  bool isInTransaction() const { return is_in_transaction_; }
  bool inTransaction() const { return is_in_transaction_; }
  bool shouldCacheStatements() const { return should_cache_statements_; }
  void setShouldCacheStatements(bool value);
  const std::map<std::string, std::set<std::shared_ptr<LiteDbDarwinStatement>>>& cachedStatements()
      const {
    return cached_statements_;
  }
  double maxBusyRetryTimeInterval() const { return max_busy_retry_time_interval_; }
  void setMaxBusyRetryTimeInterval(double seconds);
  bool traceExecution() const { return trace_execution_; }
  void setTraceExecution(bool value) { trace_execution_ = value; }
  bool checkedOut() const { return checked_out_; }
  void setCheckedOut(bool value) { checked_out_ = value; }
  bool crashOnErrors() const { return crash_on_errors_; }
  void setCrashOnErrors(bool value) { crash_on_errors_ = value; }
  bool logsErrors() const { return logs_errors_; }
  void setLogsErrors(bool value) { logs_errors_ = value; }
  // Retired: logs and answers -1 / does nothing.
  int busyRetryTimeout();
  void setBusyRetryTimeout(int timeout);

  // Errors. hadError looks at the primary result code, so extended codes count.
  std::string lastErrorMessage() const;
  int lastErrorCode() const;
  int lastExtendedErrorCode() const;
  bool hadError() const;
  // SQLite's error, or the layer's own when the last statement failed before SQLite saw it
  // (wrong number of values, connection closed or in use).
  NSError lastError() const;

  // Queries: a result set before its first row, or null.
  std::shared_ptr<LiteDbDarwinResultSet> executeQuery(const std::string& sql,
                                                      const LiteDbDarwinValues& values = {});
  std::shared_ptr<LiteDbDarwinResultSet> executeQuery(const std::string& sql,
                                                      const LiteDbDarwinValues& values,
                                                      NSError* error);
  std::shared_ptr<LiteDbDarwinResultSet> executeQueryWithParameterDictionary(
      const std::string& sql, const LiteDbDarwinNamedValues& values);
  std::shared_ptr<LiteDbDarwinResultSet> executeQueryWithFormat(const std::string& format,
                                                                const LiteDbDarwinValues& values);
  // Prepared and not bound; its result set does not close itself.
  std::shared_ptr<LiteDbDarwinResultSet> prepare(const std::string& sql);

  // Updates: true when the statement ran to completion.
  bool executeUpdate(const std::string& sql, const LiteDbDarwinValues& values = {},
                     NSError* error = nullptr);
  bool executeUpdateWithParameterDictionary(const std::string& sql,
                                            const LiteDbDarwinNamedValues& values);
  bool executeUpdateWithFormat(const std::string& format, const LiteDbDarwinValues& values);
  bool executeStatements(const std::string& sql) { return executeStatements(sql, nullptr); }
  bool executeStatements(const std::string& sql,
                         const LiteDbDarwinExecuteStatementsCallback& block);

  // Transactions and savepoints.
  bool beginTransaction();
  bool beginExclusiveTransaction();
  bool beginDeferredTransaction();
  bool beginImmediateTransaction();
  bool commit();
  bool rollback();
  bool startSavePointWithName(const std::string& name, NSError* error = nullptr);
  bool releaseSavePointWithName(const std::string& name, NSError* error = nullptr);
  bool rollbackToSavePointWithName(const std::string& name, NSError* error = nullptr);
  // Runs the block inside a savepoint; the block may ask for a roll back. Answers the error of
  // the last step that failed.
  std::optional<NSError> inSavePoint(const std::function<void(bool* rollback)>& block);

  // SQL functions and what they read and answer.
  void makeFunctionNamed(const std::string& name, int arguments, LiteDbDarwinFunction block);
  void makeFunctionNamed(const std::string& name, int maximumArguments,
                         LiteDbDarwinFunction block, bool /*withBlock*/) {
    makeFunctionNamed(name, maximumArguments, std::move(block));
  }
  static int valueType(sqlite3_value* value) { return sqlite3_value_type(value); }
  static int valueInt(sqlite3_value* value) { return sqlite3_value_int(value); }
  static int64_t valueLong(sqlite3_value* value) { return sqlite3_value_int64(value); }
  static double valueDouble(sqlite3_value* value) { return sqlite3_value_double(value); }
  static std::optional<LiteDbDarwinData> valueData(sqlite3_value* value);
  static std::optional<std::string> valueString(sqlite3_value* value);
  static void resultNullInContext(sqlite3_context* context) { sqlite3_result_null(context); }
  static void resultInt(int value, sqlite3_context* context) { sqlite3_result_int(context, value); }
  static void resultLong(int64_t value, sqlite3_context* context) {
    sqlite3_result_int64(context, value);
  }
  static void resultDouble(double value, sqlite3_context* context) {
    sqlite3_result_double(context, value);
  }
  static void resultData(const LiteDbDarwinData& data, sqlite3_context* context);
  static void resultString(const std::string& value, sqlite3_context* context);
  static void resultError(const std::string& error, sqlite3_context* context);
  static void resultErrorCode(int code, sqlite3_context* context) {
    sqlite3_result_error_code(context, code);
  }
  static void resultErrorNoMemoryInContext(sqlite3_context* context) {
    sqlite3_result_error_nomem(context);
  }
  static void resultErrorTooBigInContext(sqlite3_context* context) {
    sqlite3_result_error_toobig(context);
  }

  // Dates: with a formatter they bind and read as its text, otherwise as seconds since 1970.
  static std::shared_ptr<NSDateFormatter> storeableDateFormat(const std::string& format);
  void setDateFormat(std::shared_ptr<NSDateFormatter> format) { date_format_ = std::move(format); }
  bool hasDateFormatter() const { return date_format_ != nullptr; }
  std::optional<std::string> stringFromDate(const NSDate& date) const;
  std::optional<NSDate> dateFromString(const std::string& text) const;

  // Write-ahead-log checkpoints (SQLITE_CHECKPOINT_PASSIVE, FULL, RESTART or TRUNCATE).
  bool checkpoint(int mode, NSError* error = nullptr) {
    return checkpoint(mode, std::nullopt, nullptr, nullptr, error);
  }
  bool checkpoint(int mode, const std::optional<std::string>& name, int* logFrameCount,
                  int* checkpointCount, NSError* error = nullptr);

  // Encryption is not available in this SQLite: these answer false.
  bool setKey(const std::string& key);
  bool rekey(const std::string& key);
  bool setKeyWithData(const LiteDbDarwinData& key);
  bool rekeyWithData(const LiteDbDarwinData& key);

  // Removes a result set from the open set; the caller now closes it itself.
  void resultSetDidClose(LiteDbDarwinResultSet* resultSet);
  // How SQLite holds bound text and bytes: copied, or borrowed from values that outlive every
  // step of the statement, whose bindings are then cleared before it is reset or reused.
  enum class BindLifetime { copied, borrowed };
  // The binding step shared with result sets. On failure the statement is finalized.
  bool bindStatement(sqlite3_stmt* statement, const LiteDbDarwinValues* values,
                     const LiteDbDarwinNamedValues* dictionary, const LiteDbDarwinValues* trailing,
                     BindLifetime lifetime = BindLifetime::copied);
  int bindObject(const LiteDbDarwinValue& value, int column, sqlite3_stmt* statement,
                 BindLifetime lifetime = BindLifetime::copied);

  // One sqlite3_step of a statement on this connection; answers its result code, and for any
  // code but SQLITE_ROW and SQLITE_DONE logs it and sets `error` (when given) to the connection's.
  int stepStatement(sqlite3_stmt* statement, NSError* error);

  std::string description() const;

 private:
  std::shared_ptr<LiteDbDarwinResultSet> executeQueryCore(const std::string& sql,
                                                          const LiteDbDarwinValues* values,
                                                          const LiteDbDarwinNamedValues* dictionary,
                                                          const LiteDbDarwinValues* trailing,
                                                          bool shouldBind,
                                                          BindLifetime lifetime =
                                                              BindLifetime::copied);
  // Prepares `sql` (or takes it from the cache) and binds it: a statement marked used once more,
  // not in use, or null with the layer's error set.
  std::shared_ptr<LiteDbDarwinStatement> preparedStatement(const std::string& sql,
                                                           const LiteDbDarwinValues* values,
                                                           const LiteDbDarwinNamedValues* dictionary,
                                                           const LiteDbDarwinValues* trailing,
                                                           bool shouldBind, BindLifetime lifetime);
  bool executeUpdateCore(const std::string& sql, NSError* error, const LiteDbDarwinValues* values,
                         const LiteDbDarwinNamedValues* dictionary);
  // Runs a transaction statement; on success the database is in a transaction or not, as given.
  bool executeTransactionStatement(const char* sql, bool inTransactionAfter);
  bool checkUsable();
  // One of SQLite's counters of the connection; 0 while a statement is running.
  template <typename Count>
  Count readCounter(Count (*read)(sqlite3*));
  void failLayer(int code, std::string message);
  void markProgrammingError(const char* what);
  std::shared_ptr<LiteDbDarwinStatement> cachedStatementForQuery(const std::string& query);
  void setCachedStatement(const std::shared_ptr<LiteDbDarwinStatement>& statement,
                          const std::string& query);
  void clearCachedStatements();
  void closeOpenResultSets();
  std::string sqlitePath() const;
  static int busyHandler(void* context, int count);
  static int progressHandler(void* context);

  bool pastInterruptDeadline() const;

  // How many virtual machine steps a statement runs between looks at the interrupt deadline.
  static constexpr int kInterruptCheckSteps = 1000;

  sqlite3* db_ = nullptr;
  bool is_executing_statement_ = false;
  double start_busy_retry_time_ = 0;
  std::set<LiteDbDarwinResultSet*> open_result_sets_;
  std::vector<std::unique_ptr<LiteDbDarwinFunction>> open_functions_;
  std::shared_ptr<NSDateFormatter> date_format_;
  bool should_cache_statements_ = false;
  bool trace_execution_ = false;
  bool checked_out_ = false;
  bool crash_on_errors_ = false;
  bool logs_errors_ = true;
  bool is_open_ = false;
  bool is_in_transaction_ = false;
  double max_busy_retry_time_interval_ = 2.0;
  std::map<std::string, std::set<std::shared_ptr<LiteDbDarwinStatement>>> cached_statements_;
  std::optional<std::string> database_path_;
  std::optional<NSError> layer_error_;
  // Nanoseconds of the steady clock; kNoInterruptDeadline while none is set.
  static constexpr int64_t kNoInterruptDeadline = INT64_MAX;
  std::atomic<int64_t> interrupt_deadline_{kNoInterruptDeadline};
};

}  // namespace litedb
