#include "plugins/litedb/litedb_darwin_database.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "platform/foundation/ns_log.h"
#include "platform/foundation/sqlite_files.h"
#include "platform/foundation/system_error.h"
#include "plugins/litedb/litedb_darwin_format_statement.h"
#include "plugins/litedb/litedb_sqlite_setup.h"
#include "plugins/litedb/litedb_text.h"

namespace litedb {
namespace {

double secondsSinceReferenceDate() { return NSDate().timeIntervalSinceReferenceDate(); }

int randomSleepMilliseconds() {
  thread_local std::minstd_rand generator{std::random_device{}()};
  return 50 + static_cast<int>(generator() % 50);
}

// What SQLite keeps of neither a failed open nor a failed write: the file and the system's
// cause, as this thread's step saw them.
std::string failureCause() {
  if (auto failure = foundation::takeSqliteOpenFailure()) {
    return ": " + failure->path + " " + failure->problem;
  }
  if (const int cause = foundation::takeSqliteWriteError(); cause != 0) {
    return ": " + foundation::describeSystemError(cause);
  }
  return "";
}

std::string quotedSavePointName(const std::string& name) {
  std::string quoted;
  for (char c : name) {
    quoted.push_back(c);
    if (c == '\'') quoted.push_back('\'');
  }
  return quoted;
}

constexpr const char* kNoStatement = "The SQL holds no statement";
constexpr const char* kMoreThanOneStatement =
    "The SQL holds more than one statement; send each statement on its own";
constexpr const char* kZeroByte = "The SQL holds a zero byte";

// Prepares the one statement `sql` holds. Blanks, comments and empty statements around it are
// fine; a further statement or a zero byte is refused rather than silently left unrun. Answers
// SQLite's result; on SQLITE_OK without a statement, `problem` says why.
int prepareSingleStatement(sqlite3* db, const std::string& sql, sqlite3_stmt** statement,
                           const char** problem) {
  *statement = nullptr;
  const char* rest = sql.c_str();
  const char* const end = rest + sql.size();
  auto prepare = [&](sqlite3_stmt** out, const char** tail) {
    // The count takes in the string's terminating zero, so that SQLite parses the text where it
    // is instead of copying it first (it copies text whose last counted byte is not a zero). It
    // stops at the first zero either way. SQLite refuses over-long text itself; the count only
    // has to fit.
    auto length =
        static_cast<int>(std::min<size_t>(static_cast<size_t>(end - rest) + 1, INT32_MAX));
    return sqlite3_prepare_v2(db, rest, length, out, tail);
  };
  while (*statement == nullptr && rest != end) {
    if (*rest == '\0') break;
    const char* tail = nullptr;
    int result = prepare(statement, &tail);
    if (result != SQLITE_OK) {
      sqlite3_finalize(*statement);
      *statement = nullptr;
      return result;
    }
    if (tail == rest) break;
    rest = tail;
  }
  if (rest != end && *rest == '\0') {
    *problem = kZeroByte;
  } else if (*statement == nullptr) {
    *problem = kNoStatement;
  }
  while (*problem == nullptr && rest != end) {
    if (*rest == '\0') {
      *problem = kZeroByte;
      break;
    }
    sqlite3_stmt* extra = nullptr;
    const char* tail = nullptr;
    int result = prepare(&extra, &tail);
    sqlite3_finalize(extra);
    if (result != SQLITE_OK || extra != nullptr || tail == rest) *problem = kMoreThanOneStatement;
    rest = tail;
  }
  if (*problem != nullptr) {
    sqlite3_finalize(*statement);
    *statement = nullptr;
  }
  return SQLITE_OK;
}

void scalarFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  auto* block = static_cast<LiteDbDarwinFunction*>(sqlite3_user_data(context));
  if (block != nullptr && *block) (*block)(context, argc, argv);
}

}  // namespace

std::shared_ptr<LiteDbDarwinDatabase> LiteDbDarwinDatabase::databaseWithPath(
    std::optional<std::string> path) {
  return std::make_shared<LiteDbDarwinDatabase>(std::move(path));
}

std::shared_ptr<LiteDbDarwinDatabase> LiteDbDarwinDatabase::databaseWithURL(const NSURL* url) {
  return databaseWithPath(url != nullptr ? std::optional<std::string>(url->path()) : std::nullopt);
}

LiteDbDarwinDatabase::LiteDbDarwinDatabase(std::optional<std::string> path)
    : database_path_(std::move(path)) {
  if (!isSQLiteThreadSafe()) NSLog("The SQLite library in use is not thread-safe.");
}

LiteDbDarwinDatabase::~LiteDbDarwinDatabase() { close(); }

uint32_t LiteDbDarwinDatabase::LiteDbDarwinDBVersion() {
  static const uint32_t version = [] {
    std::string text = LiteDbDarwinDBUserVersion();
    while (std::count(text.begin(), text.end(), '.') < 2) text += ".0";
    uint32_t packed = 0;
    std::stringstream parts(text);
    std::string part;
    for (int i = 0; i < 3 && std::getline(parts, part, '.'); ++i) {
      long value = std::strtol(part.c_str(), nullptr, 10);
      if (value > 15) {
        NSLog("LiteDbDarwinDBVersion is invalid: Please use LiteDbDarwinDBUserVersion instead.");
        value = 15;
      }
      packed = (packed << 4) | static_cast<uint32_t>(value < 0 ? 0 : value);
    }
    return packed;
  }();
  return version;
}

std::string LiteDbDarwinDatabase::sqliteLibVersion() { return sqlite3_libversion(); }
bool LiteDbDarwinDatabase::isSQLiteThreadSafe() { return sqlite3_threadsafe() != 0; }

std::string LiteDbDarwinDatabase::sqlitePath() const {
  if (!database_path_) return ":memory:";
  return *database_path_;
}

std::optional<NSURL> LiteDbDarwinDatabase::databaseURL() const {
  if (!database_path_) return std::nullopt;
  return NSURL::fileURLWithPath(*database_path_);
}

std::string LiteDbDarwinDatabase::description() const {
  char text[64];
  std::snprintf(text, sizeof text, "<LiteDbDarwinDatabase: %p>", static_cast<const void*>(this));
  return text;
}

// Opening and closing.

// sqlite3_open is sqlite3_open_v2 with these flags and the default file system.
bool LiteDbDarwinDatabase::open() {
  return openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, std::nullopt);
}

bool LiteDbDarwinDatabase::openWithFlags(int flags, const std::optional<std::string>& vfsName) {
  if (is_open_) return true;
  if (db_ != nullptr) close();
  // Without a name of its own, a connection opens through the host's checked file system.
  int result = sqlite3_open_v2(sqlitePath().c_str(), &db_, flags,
                               vfsName ? vfsName->c_str() : LiteDbSqliteSetup::vfsName());
  if (result != SQLITE_OK) {
    NSLog("error opening!: %d", result);
    return false;
  }
  if (max_busy_retry_time_interval_ > 0) setMaxBusyRetryTimeInterval(max_busy_retry_time_interval_);
  interrupt_deadline_ = kNoInterruptDeadline;
  sqlite3_progress_handler(db_, kInterruptCheckSteps, &LiteDbDarwinDatabase::progressHandler, this);
  is_open_ = true;
  return true;
}

bool LiteDbDarwinDatabase::close() {
  clearCachedStatements();
  closeOpenResultSets();
  if (db_ == nullptr) return true;
  int result = sqlite3_close(db_);
  if (result == SQLITE_BUSY || result == SQLITE_LOCKED) {
    bool finalized_any = false;
    while (sqlite3_stmt* leaked = sqlite3_next_stmt(db_, nullptr)) {
      NSLog("Closing leaked statement");
      sqlite3_finalize(leaked);
      finalized_any = true;
    }
    if (finalized_any) {
      result = sqlite3_close(db_);
      if (result != SQLITE_OK && result != SQLITE_BUSY && result != SQLITE_LOCKED) {
        NSLog("error closing!: %d", result);
      }
    }
  } else if (result != SQLITE_OK) {
    NSLog("error closing!: %d", result);
  }
  db_ = nullptr;
  is_open_ = false;
  return true;
}

void LiteDbDarwinDatabase::closeOpenResultSets() {
  auto snapshot = open_result_sets_;
  for (LiteDbDarwinResultSet* resultSet : snapshot) {
    // Keeps the result set alive while it lets go of this connection.
    auto keep_parent = resultSet->parentDB();
    resultSet->setParentDB(nullptr);
    resultSet->close();
    open_result_sets_.erase(resultSet);
  }
}

bool LiteDbDarwinDatabase::goodConnection() {
  if (!is_open_) return false;
  auto resultSet = executeQuery("select name from sqlite_master where type='table'");
  if (!resultSet) return false;
  resultSet->close();
  return true;
}

bool LiteDbDarwinDatabase::interrupt() {
  if (db_ == nullptr) return false;
  sqlite3_interrupt(db_);
  return true;
}

void LiteDbDarwinDatabase::interruptFrom(std::chrono::steady_clock::time_point deadline) {
  interrupt_deadline_ = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            deadline.time_since_epoch())
                            .count();
}

bool LiteDbDarwinDatabase::pastInterruptDeadline() const {
  const int64_t deadline = interrupt_deadline_.load(std::memory_order_relaxed);
  if (deadline == kNoInterruptDeadline) return false;
  return std::chrono::steady_clock::now().time_since_epoch() >= std::chrono::nanoseconds(deadline);
}

int LiteDbDarwinDatabase::progressHandler(void* context) {
  return static_cast<LiteDbDarwinDatabase*>(context)->pastInterruptDeadline() ? 1 : 0;
}

int LiteDbDarwinDatabase::limitFor(int type, int value) { return sqlite3_limit(db_, type, value); }

int LiteDbDarwinDatabase::busyRetryTimeout() {
  NSLog("%s:%d", "-[LiteDbDarwinDatabase busyRetryTimeout]", 347);
  NSLog("LiteDbDarwinDB: busyRetryTimeout no longer works, please use maxBusyRetryTimeInterval");
  return -1;
}

void LiteDbDarwinDatabase::setBusyRetryTimeout(int /*timeout*/) {
  NSLog("%s:%d", "-[LiteDbDarwinDatabase setBusyRetryTimeout:]", 354);
  NSLog("LiteDbDarwinDB: setBusyRetryTimeout does nothing, please use setMaxBusyRetryTimeInterval:");
}

// Busy handling.

void LiteDbDarwinDatabase::setMaxBusyRetryTimeInterval(double seconds) {
  max_busy_retry_time_interval_ = seconds;
  if (db_ == nullptr) return;
  if (seconds > 0) {
    sqlite3_busy_handler(db_, &LiteDbDarwinDatabase::busyHandler, this);
  } else {
    sqlite3_busy_handler(db_, nullptr, nullptr);
  }
}

int LiteDbDarwinDatabase::busyHandler(void* context, int count) {
  auto* self = static_cast<LiteDbDarwinDatabase*>(context);
  if (self->pastInterruptDeadline()) return 0;
  if (count == 0) {
    self->start_busy_retry_time_ = secondsSinceReferenceDate();
    return 1;
  }
  double elapsed = secondsSinceReferenceDate() - self->start_busy_retry_time_;
  if (self->maxBusyRetryTimeInterval() > elapsed) {
    int requested = randomSleepMilliseconds();
    int slept = sqlite3_sleep(requested);
    if (slept != requested) {
      NSLog("WARNING: Requested sleep of %i milliseconds, but SQLite returned %i. Maybe SQLite "
            "wasn't built with HAVE_USLEEP=1?",
            requested, slept);
    }
    return 1;
  }
  return 0;
}

// Errors.

// SQLite's messages quote names and values from the file, which need not be UTF-8.
std::string LiteDbDarwinDatabase::lastErrorMessage() const { return utf8Text(sqlite3_errmsg(db_)); }
int LiteDbDarwinDatabase::lastErrorCode() const { return sqlite3_errcode(db_); }
int LiteDbDarwinDatabase::lastExtendedErrorCode() const { return sqlite3_extended_errcode(db_); }

bool LiteDbDarwinDatabase::hadError() const {
  int primary = lastErrorCode() & 0xFF;
  return primary > SQLITE_OK && primary < SQLITE_ROW;
}

NSError LiteDbDarwinDatabase::lastError() const {
  if (layer_error_ && !hadError()) return *layer_error_;
  return NSError{kLiteDbDarwinErrorDomain, lastErrorCode(), lastErrorMessage()};
}

void LiteDbDarwinDatabase::failLayer(int code, std::string message) {
  layer_error_ = NSError{kLiteDbDarwinErrorDomain, code, std::move(message)};
}

void LiteDbDarwinDatabase::markProgrammingError(const char* what) {
  if (!crash_on_errors_) return;
  NSLog("Programming error: %s", what);
  std::abort();
}

bool LiteDbDarwinDatabase::checkUsable() {
  if (!is_open_) {
    NSLog("The LiteDbDarwinDatabase %s is not open.", description().c_str());
    failLayer(SQLITE_MISUSE, "The database is not open");
    markProgrammingError("use of a closed database");
    return false;
  }
  if (is_executing_statement_) {
    NSLog("The LiteDbDarwinDatabase %s is currently in use.", description().c_str());
    failLayer(SQLITE_MISUSE, "The database is currently in use");
    markProgrammingError("database in use");
    return false;
  }
  return true;
}

template <typename Count>
Count LiteDbDarwinDatabase::readCounter(Count (*read)(sqlite3*)) {
  if (is_executing_statement_) {
    NSLog("The LiteDbDarwinDatabase %s is currently in use.", description().c_str());
    return 0;
  }
  is_executing_statement_ = true;
  auto value = read(db_);
  is_executing_statement_ = false;
  return value;
}

int64_t LiteDbDarwinDatabase::lastInsertRowId() { return readCounter(sqlite3_last_insert_rowid); }

int LiteDbDarwinDatabase::changes() { return readCounter(sqlite3_changes); }

// The statement cache.

void LiteDbDarwinDatabase::setShouldCacheStatements(bool value) {
  should_cache_statements_ = value;
  if (!value) clearCachedStatements();
}

std::shared_ptr<LiteDbDarwinStatement> LiteDbDarwinDatabase::cachedStatementForQuery(
    const std::string& query) {
  auto found = cached_statements_.find(query);
  if (found == cached_statements_.end()) return nullptr;
  for (const auto& statement : found->second) {
    if (!statement->inUse() && statement->statement() != nullptr) return statement;
  }
  return nullptr;
}

void LiteDbDarwinDatabase::setCachedStatement(
    const std::shared_ptr<LiteDbDarwinStatement>& statement, const std::string& query) {
  statement->setQuery(query);
  cached_statements_[query].insert(statement);
}

void LiteDbDarwinDatabase::clearCachedStatements() {
  for (auto& [query, statements] : cached_statements_) {
    for (const auto& statement : statements) statement->close();
  }
  cached_statements_.clear();
}

void LiteDbDarwinDatabase::resultSetDidClose(LiteDbDarwinResultSet* resultSet) {
  open_result_sets_.erase(resultSet);
}

// Binding.

int LiteDbDarwinDatabase::bindObject(const LiteDbDarwinValue& value, int column,
                                     sqlite3_stmt* statement, BindLifetime lifetime) {
  const sqlite3_destructor_type held =
      lifetime == BindLifetime::borrowed ? SQLITE_STATIC : SQLITE_TRANSIENT;
  return std::visit(
      [&](const auto& v) -> int {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return sqlite3_bind_null(statement, column);
        } else if constexpr (std::is_same_v<T, LiteDbDarwinData> ||
                             std::is_same_v<T, LiteDbDarwinBytesView>) {
          static const char kEmpty[] = "";
          const void* bytes = v.empty() ? static_cast<const void*>(kEmpty) : v.data();
          return sqlite3_bind_blob64(statement, column, bytes, v.size(), held);
        } else if constexpr (std::is_same_v<T, NSDate>) {
          if (date_format_) {
            std::string text = date_format_->stringFromDate(v);
            return sqlite3_bind_text64(statement, column, text.data(), text.size(),
                                       SQLITE_TRANSIENT, SQLITE_UTF8);
          }
          return sqlite3_bind_double(statement, column, v.timeIntervalSince1970());
        } else if constexpr (std::is_same_v<T, bool>) {
          return sqlite3_bind_int(statement, column, v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, int32_t>) {
          return sqlite3_bind_int(statement, column, v);
        } else if constexpr (std::is_same_v<T, uint32_t> || std::is_same_v<T, int64_t> ||
                             std::is_same_v<T, uint64_t>) {
          return sqlite3_bind_int64(statement, column, static_cast<sqlite3_int64>(v));
        } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          return sqlite3_bind_double(statement, column, static_cast<double>(v));
        } else {
          // The explicit length keeps text that holds U+0000 whole.
          return sqlite3_bind_text64(statement, column, v.data(), v.size(), held, SQLITE_UTF8);
        }
      },
      value);
}

bool LiteDbDarwinDatabase::bindStatement(sqlite3_stmt* statement, const LiteDbDarwinValues* values,
                                         const LiteDbDarwinNamedValues* dictionary,
                                         const LiteDbDarwinValues* trailing,
                                         BindLifetime lifetime) {
  const int parameter_count = sqlite3_bind_parameter_count(statement);
  int bound = 0;
  auto bind = [&](const LiteDbDarwinValue& value, int column) {
    if (trace_execution_) {
      if (const auto* data = std::get_if<LiteDbDarwinData>(&value)) {
        NSLog("data: %ld bytes", static_cast<long>(data->size()));
      } else if (const auto* view = std::get_if<LiteDbDarwinBytesView>(&value)) {
        NSLog("data: %ld bytes", static_cast<long>(view->size()));
      } else {
        NSLog("obj: %s", describeValue(value).c_str());
      }
    }
    int result = bindObject(value, column, statement, lifetime);
    if (result != SQLITE_OK) {
      NSLog("Error: unable to bind (%d, %s", result, sqlite3_errmsg(db_));
      failLayer(result, sqlite3_errmsg(db_));
      return false;
    }
    return true;
  };
  if (dictionary != nullptr) {
    for (const auto& [key, value] : *dictionary) {
      std::string name = ":" + key;
      if (trace_execution_) NSLog("%s = %s", name.c_str(), describeValue(value).c_str());
      int index = sqlite3_bind_parameter_index(statement, name.c_str());
      if (index > 0) {
        if (!bind(value, index)) return false;
        ++bound;
      } else {
        NSLog("Could not find index for %s", key.c_str());
      }
    }
  } else {
    size_t next_trailing = 0;
    for (int index = 0; index < parameter_count; ++index) {
      const LiteDbDarwinValue* value = nullptr;
      if (values != nullptr && static_cast<size_t>(index) < values->size()) {
        value = &(*values)[static_cast<size_t>(index)];
      } else if (trailing != nullptr && next_trailing < trailing->size()) {
        value = &(*trailing)[next_trailing++];
      } else {
        break;
      }
      if (!bind(*value, index + 1)) return false;
      ++bound;
    }
  }
  if (bound != parameter_count) {
    NSLog("Error: the bind count is not correct for the # of variables (executeQuery)");
    failLayer(SQLITE_RANGE, "The statement has " + std::to_string(parameter_count) +
                                " parameters but " + std::to_string(bound) +
                                " values were bound");
    return false;
  }
  return true;
}

// The query core.

std::shared_ptr<LiteDbDarwinStatement> LiteDbDarwinDatabase::preparedStatement(
    const std::string& sql, const LiteDbDarwinValues* values,
    const LiteDbDarwinNamedValues* dictionary, const LiteDbDarwinValues* trailing,
    bool shouldBind, BindLifetime lifetime) {
  if (trace_execution_) NSLog("%s executeQuery: %s", description().c_str(), sql.c_str());
  std::shared_ptr<LiteDbDarwinStatement> statement;
  if (should_cache_statements_) {
    statement = cachedStatementForQuery(sql);
    if (statement) statement->reset();
  }
  if (!statement) {
    sqlite3_stmt* handle = nullptr;
    const char* problem = nullptr;
    int result = prepareSingleStatement(db_, sql, &handle, &problem);
    if (result != SQLITE_OK || handle == nullptr) {
      if (problem != nullptr) failLayer(SQLITE_ERROR, problem);
      if (logs_errors_) {
        NSError error = lastError();
        NSLog("DB Error: %ld \"%s\"", error.code, error.localizedDescription.c_str());
        NSLog("DB Query: %s", sql.c_str());
        NSLog("DB Path: %s", database_path_ ? database_path_->c_str() : "(null)");
      }
      markProgrammingError("prepare failed");
      return nullptr;
    }
    statement = std::make_shared<LiteDbDarwinStatement>(handle);
    if (should_cache_statements_) setCachedStatement(statement, sql);
  }
  if (statement->inUse()) {
    // Binding would change what a live result set reads.
    failLayer(SQLITE_MISUSE, "The statement is already in use");
    return nullptr;
  }
  if (shouldBind &&
      !bindStatement(statement->statement(), values, dictionary, trailing, lifetime)) {
    // A statement that failed to bind is never handed out again, cached or not.
    statement->close();
    if (should_cache_statements_) {
      auto found = cached_statements_.find(sql);
      if (found != cached_statements_.end()) found->second.erase(statement);
    }
    return nullptr;
  }
  statement->setUseCount(statement->useCount() + 1);
  return statement;
}

std::shared_ptr<LiteDbDarwinResultSet> LiteDbDarwinDatabase::executeQueryCore(
    const std::string& sql, const LiteDbDarwinValues* values,
    const LiteDbDarwinNamedValues* dictionary, const LiteDbDarwinValues* trailing,
    bool shouldBind, BindLifetime lifetime) {
  layer_error_.reset();
  if (!checkUsable()) return nullptr;
  is_executing_statement_ = true;
  auto statement = preparedStatement(sql, values, dictionary, trailing, shouldBind, lifetime);
  is_executing_statement_ = false;
  if (!statement) return nullptr;
  auto resultSet =
      LiteDbDarwinResultSet::resultSetWithStatement(statement, shared_from_this(), shouldBind);
  if (!resultSet) {
    failLayer(SQLITE_MISUSE, "The statement is already in use");
    return nullptr;
  }
  resultSet->setQuery(sql);
  open_result_sets_.insert(resultSet.get());
  return resultSet;
}

std::shared_ptr<LiteDbDarwinResultSet> LiteDbDarwinDatabase::executeQuery(
    const std::string& sql, const LiteDbDarwinValues& values) {
  return executeQueryCore(sql, &values, nullptr, nullptr, true);
}

std::shared_ptr<LiteDbDarwinResultSet> LiteDbDarwinDatabase::executeQuery(
    const std::string& sql, const LiteDbDarwinValues& values, NSError* error) {
  auto resultSet = executeQueryCore(sql, &values, nullptr, nullptr, true);
  if (!resultSet && error != nullptr) *error = lastError();
  return resultSet;
}

std::shared_ptr<LiteDbDarwinResultSet> LiteDbDarwinDatabase::executeQueryWithParameterDictionary(
    const std::string& sql, const LiteDbDarwinNamedValues& values) {
  return executeQueryCore(sql, nullptr, &values, nullptr, true);
}

std::shared_ptr<LiteDbDarwinResultSet> LiteDbDarwinDatabase::prepare(const std::string& sql) {
  return executeQueryCore(sql, nullptr, nullptr, nullptr, false);
}

int LiteDbDarwinDatabase::stepStatement(sqlite3_stmt* statement, NSError* error) {
  // Causes left from earlier calls on this thread are not this step's.
  foundation::takeSqliteOpenFailure();
  foundation::takeSqliteWriteError();
  int result = sqlite3_step(statement);
  if (result == SQLITE_ROW || result == SQLITE_DONE) return result;
  const char* path = database_path_ ? database_path_->c_str() : "(null)";
  int primary = result & 0xFF;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    NSLog("%s:%d Database busy (%s)", "-[LiteDbDarwinResultSet internalStepWithError:]", 186, path);
    NSLog("Database busy");
  } else if (primary == SQLITE_MISUSE || primary == SQLITE_ERROR) {
    NSLog("Error calling sqlite3_step (%d: %s) on %s", result, lastErrorMessage().c_str(), path);
  } else {
    NSLog("Unknown error calling sqlite3_step (%d: %s) on %s%s", result,
          lastErrorMessage().c_str(), path, failureCause().c_str());
  }
  if (error != nullptr) *error = lastError();
  return result;
}

bool LiteDbDarwinDatabase::executeUpdateCore(const std::string& sql, NSError* error,
                                             const LiteDbDarwinValues* values,
                                             const LiteDbDarwinNamedValues* dictionary) {
  // A change runs to its end here, so it needs no result set; the values outlive every step
  // taken here, so SQLite borrows their text and bytes.
  layer_error_.reset();
  std::shared_ptr<LiteDbDarwinStatement> statement;
  if (checkUsable()) {
    is_executing_statement_ = true;
    statement = preparedStatement(sql, values, dictionary, nullptr, true, BindLifetime::borrowed);
    is_executing_statement_ = false;
  }
  if (!statement) {
    if (error != nullptr) *error = lastError();
    return false;
  }
  sqlite3_stmt* handle = statement->statement();
  statement->setInUse(true);
  int result = stepStatement(handle, error);
  // A change that returns rows (RETURNING) is made by its first step; reading the rest lets it
  // complete, so its answer tells the truth. Reading statements stay refused.
  if (result == SQLITE_ROW && !sqlite3_stmt_readonly(handle)) {
    while (result == SQLITE_ROW) result = stepStatement(handle, error);
  }
  if (result == SQLITE_ROW) {
    failLayer(SQLITE_ROW, sqlite3_errstr(SQLITE_ROW));
    if (error != nullptr) *error = lastError();
  }
  // Done with before the caller hears the outcome: a cached statement keeps no pointers into
  // values that are about to go, and one of its own is finalized as it goes.
  statement->reset();
  sqlite3_clear_bindings(handle);
  statement->setInUse(false);
  return result == SQLITE_DONE;
}

bool LiteDbDarwinDatabase::executeUpdate(const std::string& sql, const LiteDbDarwinValues& values,
                                         NSError* error) {
  return executeUpdateCore(sql, error, &values, nullptr);
}

bool LiteDbDarwinDatabase::executeUpdateWithParameterDictionary(
    const std::string& sql, const LiteDbDarwinNamedValues& values) {
  return executeUpdateCore(sql, nullptr, nullptr, &values);
}

bool LiteDbDarwinDatabase::executeStatements(const std::string& sql,
                                             const LiteDbDarwinExecuteStatementsCallback& block) {
  layer_error_.reset();
  if (!checkUsable()) return false;
  struct Context {
    const LiteDbDarwinExecuteStatementsCallback* block;
  } context{&block};
  auto callback = [](void* raw, int columns, char** values, char** names) -> int {
    auto* ctx = static_cast<Context*>(raw);
    std::map<std::string, LiteDbDarwinValue> row;
    for (int i = 0; i < columns; ++i) {
      row[names[i]] = values[i] != nullptr ? LiteDbDarwinValue(std::string(values[i]))
                                           : LiteDbDarwinValue(std::monostate{});
    }
    return (*ctx->block)(row);
  };
  char* message = nullptr;
  int result = sqlite3_exec(db_, sql.c_str(), block ? +callback : nullptr,
                            block ? &context : nullptr, &message);
  if (message != nullptr) {
    if (logs_errors_) NSLog("Error inserting batch: %s", message);
    sqlite3_free(message);
  }
  return result == SQLITE_OK;
}

// Transactions and savepoints.

bool LiteDbDarwinDatabase::executeTransactionStatement(const char* sql, bool inTransactionAfter) {
  bool ok = executeUpdate(sql);
  if (ok) is_in_transaction_ = inTransactionAfter;
  return ok;
}

bool LiteDbDarwinDatabase::beginTransaction() { return beginExclusiveTransaction(); }

bool LiteDbDarwinDatabase::beginExclusiveTransaction() {
  return executeTransactionStatement("begin exclusive transaction", true);
}

bool LiteDbDarwinDatabase::beginDeferredTransaction() {
  return executeTransactionStatement("begin deferred transaction", true);
}

bool LiteDbDarwinDatabase::beginImmediateTransaction() {
  return executeTransactionStatement("begin immediate transaction", true);
}

bool LiteDbDarwinDatabase::commit() {
  return executeTransactionStatement("commit transaction", false);
}

bool LiteDbDarwinDatabase::rollback() {
  return executeTransactionStatement("rollback transaction", false);
}

bool LiteDbDarwinDatabase::startSavePointWithName(const std::string& name, NSError* error) {
  return executeUpdate("savepoint '" + quotedSavePointName(name) + "';", {}, error);
}

bool LiteDbDarwinDatabase::releaseSavePointWithName(const std::string& name, NSError* error) {
  return executeUpdate("release savepoint '" + quotedSavePointName(name) + "';", {}, error);
}

bool LiteDbDarwinDatabase::rollbackToSavePointWithName(const std::string& name, NSError* error) {
  return executeUpdate("rollback transaction to savepoint '" + quotedSavePointName(name) + "';",
                       {}, error);
}

std::optional<NSError> LiteDbDarwinDatabase::inSavePoint(
    const std::function<void(bool* rollback)>& block) {
  static std::atomic<long> save_point_index{0};
  std::string name = "dbSavePoint" + std::to_string(save_point_index++);
  NSError error;
  if (!startSavePointWithName(name, &error)) return error;
  std::optional<NSError> failure;
  bool should_rollback = false;
  if (block) block(&should_rollback);
  if (should_rollback && !rollbackToSavePointWithName(name, &error)) failure = error;
  if (!releaseSavePointWithName(name, &error)) failure = error;
  return failure;
}

// SQL functions.

void LiteDbDarwinDatabase::makeFunctionNamed(const std::string& name, int arguments,
                                             LiteDbDarwinFunction block) {
  open_functions_.push_back(std::make_unique<LiteDbDarwinFunction>(std::move(block)));
  sqlite3_create_function(db_, name.c_str(), arguments, SQLITE_UTF8, open_functions_.back().get(),
                          &scalarFunction, nullptr, nullptr);
}

std::optional<LiteDbDarwinData> LiteDbDarwinDatabase::valueData(sqlite3_value* value) {
  const auto* bytes = static_cast<const uint8_t*>(sqlite3_value_blob(value));
  if (bytes == nullptr) return std::nullopt;
  return LiteDbDarwinData(bytes, bytes + sqlite3_value_bytes(value));
}

std::optional<std::string> LiteDbDarwinDatabase::valueString(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  if (text == nullptr) return std::nullopt;
  return std::string(text, static_cast<size_t>(sqlite3_value_bytes(value)));
}

void LiteDbDarwinDatabase::resultData(const LiteDbDarwinData& data, sqlite3_context* context) {
  sqlite3_result_blob64(context, data.data(), data.size(), SQLITE_TRANSIENT);
}

void LiteDbDarwinDatabase::resultString(const std::string& value, sqlite3_context* context) {
  sqlite3_result_text64(context, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void LiteDbDarwinDatabase::resultError(const std::string& error, sqlite3_context* context) {
  sqlite3_result_error(context, error.c_str(), -1);
}

// Dates.

std::shared_ptr<NSDateFormatter> LiteDbDarwinDatabase::storeableDateFormat(
    const std::string& format) {
  auto formatter = std::make_shared<NSDateFormatter>();
  formatter->setDateFormat(format);
  formatter->setTimeZoneSecondsFromGMT(0);
  formatter->setLocaleIdentifier("en_US");
  return formatter;
}

std::optional<std::string> LiteDbDarwinDatabase::stringFromDate(const NSDate& date) const {
  if (!date_format_) return std::nullopt;
  return date_format_->stringFromDate(date);
}

std::optional<NSDate> LiteDbDarwinDatabase::dateFromString(const std::string& text) const {
  if (!date_format_) return std::nullopt;
  return date_format_->dateFromString(text);
}

// Checkpoints and keys.

bool LiteDbDarwinDatabase::checkpoint(int mode, const std::optional<std::string>& name,
                                      int* logFrameCount, int* checkpointCount, NSError* error) {
  layer_error_.reset();
  int result = sqlite3_wal_checkpoint_v2(db_, name ? name->c_str() : nullptr, mode, logFrameCount,
                                         checkpointCount);
  if (result != SQLITE_OK) {
    if (error != nullptr) *error = lastError();
    if (logs_errors_) NSLog("%s", lastErrorMessage().c_str());
    markProgrammingError("checkpoint failed");
    return false;
  }
  return true;
}

bool LiteDbDarwinDatabase::setKey(const std::string& key) {
  std::string bytes(key.c_str());
  return setKeyWithData(LiteDbDarwinData(bytes.begin(), bytes.end()));
}

bool LiteDbDarwinDatabase::rekey(const std::string& key) {
  std::string bytes(key.c_str());
  return rekeyWithData(LiteDbDarwinData(bytes.begin(), bytes.end()));
}

bool LiteDbDarwinDatabase::setKeyWithData(const LiteDbDarwinData& /*key*/) { return false; }
bool LiteDbDarwinDatabase::rekeyWithData(const LiteDbDarwinData& /*key*/) { return false; }

std::shared_ptr<LiteDbDarwinResultSet> LiteDbDarwinDatabase::executeQueryWithFormat(
    const std::string& format, const LiteDbDarwinValues& values) {
  auto statement = formatStatement(format, values);
  return executeQuery(statement.sql, statement.values);
}

bool LiteDbDarwinDatabase::executeUpdateWithFormat(const std::string& format,
                                                   const LiteDbDarwinValues& values) {
  auto statement = formatStatement(format, values);
  return executeUpdate(statement.sql, statement.values);
}

}  // namespace litedb
