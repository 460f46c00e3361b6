#include "platform/security/internal/keychain_store.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/foundation/ns_log.h"
#include "platform/foundation/sqlite_files.h"
#include "platform/foundation/system_error.h"
#include "platform/security/keychain_transaction.h"

#include "platform/security/internal/item_coding.h"
#include "platform/security/internal/keychain_location.h"
#include "platform/security/internal/sec_access_control_access.h"

namespace security::internal {
namespace {

constexpr int kSchemaVersion = 1;

constexpr const char* kCreateSchema =
    "CREATE TABLE items ("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  keychain TEXT NOT NULL,"
    "  class TEXT NOT NULL,"
    "  identity BLOB NOT NULL,"
    "  attributes BLOB NOT NULL,"
    "  access_protection TEXT,"
    "  access_flags INTEGER,"
    "  data BLOB,"
    "  UNIQUE (keychain, class, identity));";

struct StatementFinalize {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalize>;

Statement prepare(sqlite3* database, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return nullptr;
  }
  return Statement(statement);
}

bool isCorruption(int result) {
  int primary = result & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::optional<int64_t> singleInteger(sqlite3* database, const char* sql) {
  Statement statement = prepare(database, sql);
  if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) return std::nullopt;
  return sqlite3_column_int64(statement.get(), 0);
}

// Only a database this store wrote, and that SQLite finds sound, is used.
bool isOurSoundDatabase(sqlite3* database) {
  Statement check = prepare(database, "PRAGMA quick_check");
  if (!check || sqlite3_step(check.get()) != SQLITE_ROW) return false;
  auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
  if (verdict == nullptr || std::string(verdict) != "ok") return false;
  auto version = singleInteger(database, "PRAGMA user_version");
  auto tables = singleInteger(
      database, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'items'");
  return version == kSchemaVersion && tables == 1;
}

bool isBlankDatabase(sqlite3* database) {
  return singleInteger(database, "SELECT count(*) FROM sqlite_master") == 0 &&
         singleInteger(database, "PRAGMA user_version") == 0;
}

// How long a call waits for another host's transaction, and how often it looks again. SQLite's own
// timeout looks more and more rarely (every 100 ms at last), and another host that changes item
// after item holds the lock all but a moment between them: looked at that rarely, a call would
// find it held every time and fail. Looked at every millisecond, it finds such a moment.
constexpr auto kLockWait = std::chrono::milliseconds(5000);
constexpr auto kLockPoll = std::chrono::microseconds(500);

// The end of the wait of the transaction this thread runs: its own 5 s from its start, or the
// caller's earlier deadline. One budget for the process's lock and the file's.
thread_local std::chrono::steady_clock::time_point transaction_deadline;

int waitForLock(void* /*context*/, int /*attempt*/) {
  if (std::chrono::steady_clock::now() >= transaction_deadline) return 0;
  std::this_thread::sleep_for(kLockPoll);
  return 1;
}

// Makes a blank file the keychain's database. Under the write lock, so that hosts opening a fresh
// keychain at the same moment make its table once: the others find it made.
bool createSchemaIfBlank(sqlite3* database) {
  if (sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return false;
  }
  bool ok = true;
  if (isBlankDatabase(database)) {
    std::string script =
        std::string(kCreateSchema) + "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    ok = sqlite3_exec(database, script.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  if (ok && sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

// Whether the database's file is no longer the one at its path: removed, or replaced by another.
bool fileHasMoved(sqlite3* database) {
  int moved = 0;
  if (sqlite3_file_control(database, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK) {
    return true;
  }
  return moved != 0;
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void bindBlob(sqlite3_stmt* statement, int index, const CFBytes& bytes) {
  // A zero-length blob, not NULL, for empty data.
  sqlite3_bind_blob(statement, index, bytes.empty() ? "" : static_cast<const void*>(bytes.data()),
                    static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

CFBytes columnBlob(sqlite3_stmt* statement, int index) {
  auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(statement, index));
  int size = sqlite3_column_bytes(statement, index);
  return bytes == nullptr ? CFBytes() : CFBytes(bytes, bytes + size);
}

// The smallest blob greater than every blob that begins with `prefix`; nullopt when there is
// none (a prefix of 0xFF bytes only).
std::optional<CFBytes> prefixUpperBound(CFBytes prefix) {
  while (!prefix.empty() && prefix.back() == 0xFF) prefix.pop_back();
  if (prefix.empty()) return std::nullopt;
  ++prefix.back();
  return prefix;
}

void bindItemColumns(sqlite3_stmt* statement, const KeychainItem& item) {
  bindText(statement, 1, item.keychain);
  bindText(statement, 2, item.itemClass);
  bindBlob(statement, 3, identityOf(item));
  bindBlob(statement, 4, encodeAttributes(item.attributes));
  if (item.accessControl) {
    bindText(statement, 5, item.accessControl->protection());
    sqlite3_bind_int64(statement, 6, static_cast<int64_t>(item.accessControl->flags()));
  } else {
    sqlite3_bind_null(statement, 5);
    sqlite3_bind_null(statement, 6);
  }
  if (item.data) {
    bindBlob(statement, 7, *item.data);
  } else {
    sqlite3_bind_null(statement, 7);
  }
}

}  // namespace

OSStatus KeychainTransaction::statusOf(int sqliteResult) {
  if (isCorruption(sqliteResult)) {
    saw_corruption_ = true;
    return errSecNotAvailable;
  }
  // Only the identity's own uniqueness means a duplicate; a trigger another program left in the
  // file that stops a change is an I/O failure like any other.
  const int detailed = sqlite3_extended_errcode(database_);
  if (detailed == SQLITE_CONSTRAINT_UNIQUE || detailed == SQLITE_CONSTRAINT_PRIMARYKEY) {
    return errSecDuplicateItem;
  }
  return errSecIO;
}

// A change is done only when it changed its one row: a trigger can make SQLite skip it silently.
OSStatus KeychainTransaction::changedOneRow(int sqliteResult) {
  if (sqliteResult != SQLITE_DONE) return statusOf(sqliteResult);
  return sqlite3_changes(database_) == 1 ? errSecSuccess : errSecIO;
}

OSStatus KeychainTransaction::items(const ItemSelection& selection,
                                    std::vector<KeychainItem>* out) {
  std::string sql =
      "SELECT id, attributes, access_protection, access_flags FROM items "
      "WHERE keychain = ?1 AND class = ?2";
  std::optional<CFBytes> upper_bound;
  if (!selection.identityPrefix.empty()) {
    upper_bound = prefixUpperBound(selection.identityPrefix);
    sql += upper_bound ? " AND identity >= ?3 AND identity < ?4" : " AND identity >= ?3";
  }
  if (selection.id) sql += " AND id = ?5";
  sql += " ORDER BY id";
  Statement statement = prepare(database_, sql.c_str());
  if (!statement) return statusOf(sqlite3_errcode(database_));
  bindText(statement.get(), 1, selection.keychain);
  bindText(statement.get(), 2, selection.itemClass);
  if (!selection.identityPrefix.empty()) bindBlob(statement.get(), 3, selection.identityPrefix);
  if (upper_bound) bindBlob(statement.get(), 4, *upper_bound);
  if (selection.id) sqlite3_bind_int64(statement.get(), 5, *selection.id);
  int result;
  while ((result = sqlite3_step(statement.get())) == SQLITE_ROW) {
    KeychainItem item;
    item.id = sqlite3_column_int64(statement.get(), 0);
    item.keychain = selection.keychain;
    item.itemClass = selection.itemClass;
    auto attributes = decodeAttributes(columnBlob(statement.get(), 1));
    if (!attributes) {
      saw_corruption_ = true;
      return errSecNotAvailable;
    }
    item.attributes = std::move(*attributes);
    if (sqlite3_column_type(statement.get(), 2) != SQLITE_NULL) {
      auto* protection = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 2));
      auto flags =
          static_cast<SecAccessControlCreateFlags>(sqlite3_column_int64(statement.get(), 3));
      std::string protection_text = protection != nullptr ? protection : "";
      if (accessControlInvalidReason(protection_text, flags)) {
        saw_corruption_ = true;
        return errSecNotAvailable;
      }
      item.accessControl = SecAccessControlAccess::make(protection_text, flags);
    }
    out->push_back(std::move(item));
  }
  return result == SQLITE_DONE ? errSecSuccess : statusOf(result);
}

OSStatus KeychainTransaction::loadData(KeychainItem* item) {
  Statement statement = prepare(database_, "SELECT data FROM items WHERE id = ?1");
  if (!statement) return statusOf(sqlite3_errcode(database_));
  sqlite3_bind_int64(statement.get(), 1, item->id);
  int result = sqlite3_step(statement.get());
  if (result != SQLITE_ROW) return result == SQLITE_DONE ? errSecItemNotFound : statusOf(result);
  if (sqlite3_column_type(statement.get(), 0) != SQLITE_NULL) {
    item->data = columnBlob(statement.get(), 0);
  } else {
    item->data.reset();
  }
  return errSecSuccess;
}

OSStatus KeychainTransaction::insert(KeychainItem* item) {
  Statement statement =
      prepare(database_,
              "INSERT INTO items (keychain, class, identity, attributes, access_protection, "
              "access_flags, data) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  if (!statement) return statusOf(sqlite3_errcode(database_));
  bindItemColumns(statement.get(), *item);
  OSStatus status = changedOneRow(sqlite3_step(statement.get()));
  if (status != errSecSuccess) return status;
  item->id = sqlite3_last_insert_rowid(database_);
  return errSecSuccess;
}

OSStatus KeychainTransaction::update(const KeychainItem& item) {
  Statement statement =
      prepare(database_,
              "UPDATE items SET keychain = ?1, class = ?2, identity = ?3, attributes = ?4, "
              "access_protection = ?5, access_flags = ?6, data = ?7 WHERE id = ?8");
  if (!statement) return statusOf(sqlite3_errcode(database_));
  bindItemColumns(statement.get(), item);
  sqlite3_bind_int64(statement.get(), 8, item.id);
  return changedOneRow(sqlite3_step(statement.get()));
}

OSStatus KeychainTransaction::remove(int64_t id) {
  Statement statement = prepare(database_, "DELETE FROM items WHERE id = ?1");
  if (!statement) return statusOf(sqlite3_errcode(database_));
  sqlite3_bind_int64(statement.get(), 1, id);
  return changedOneRow(sqlite3_step(statement.get()));
}

KeychainStore& KeychainStore::shared() {
  static auto* const store = new KeychainStore();
  return *store;
}

std::string KeychainStore::directoryLocked() const {
  return directory_ ? *directory_ : defaultKeychainDirectory();
}

OSStatus KeychainStore::openLocked() {
  if (database_) return errSecSuccess;
  // Files checked as they are opened, and writes against the file-size limit, so that a keychain
  // already past it stays readable.
  foundation::setUpSqliteFiles();
  PreparedKeychainFile prepared;
  if (OSStatus status = prepareKeychainFile(directoryLocked(), &prepared);
      status != errSecSuccess) {
    return status;
  }
  sqlite3* raw = nullptr;
  foundation::takeSqliteOpenFailure();
  int opened = sqlite3_open_v2(prepared.path.c_str(), &raw,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW,
                               foundation::kSqliteFileSystem);
  std::unique_ptr<sqlite3, DatabaseClose> database(raw);
  if (opened != SQLITE_OK) {
    return raw != nullptr ? openStepFailureLocked(raw, prepared.path) : errSecNotAvailable;
  }
  sqlite3_busy_handler(database.get(), waitForLock, nullptr);
  if (sqlite3_exec(database.get(), "PRAGMA secure_delete = ON", nullptr, nullptr, nullptr) !=
          SQLITE_OK ||
      !createSchemaIfBlank(database.get()) || !isOurSoundDatabase(database.get())) {
    return openStepFailureLocked(database.get(), prepared.path);
  }
  database_ = std::move(database);
  return errSecSuccess;
}

OSStatus KeychainStore::transact(const Body& body) {
  if (transaction_thread_.load() == std::this_thread::get_id()) return transactNested(body);
  transaction_deadline = std::chrono::steady_clock::now() + kLockWait;
  if (auto deadline = KeychainWaitDeadline::current()) {
    transaction_deadline = std::min(transaction_deadline, *deadline);
  }
  std::unique_lock lock(mutex_, std::defer_lock);
  if (!lock.try_lock_until(transaction_deadline)) {
    NSLog("A keychain call waited past its deadline for the keychain's other calls; it fails");
    return errSecIO;
  }
  foundation::takeSqliteWriteError();
  foundation::takeSqliteOpenFailure();
  if (OSStatus begun = beginLocked(); begun != errSecSuccess) {
    if (begun == errSecIO) logWriteFailureLocked();
    return begun;
  }
  sqlite3* database = database_.get();
  KeychainTransaction transaction(database);
  nested_saw_corruption_ = false;
  transaction_thread_.store(std::this_thread::get_id());
  OSStatus status = body(transaction);
  transaction_thread_.store(std::thread::id());
  if (status == errSecSuccess &&
      sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    status = isCorruption(sqlite3_errcode(database)) ? errSecNotAvailable : errSecIO;
  }
  if (status != errSecSuccess) sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
  if (status == errSecIO) logWriteFailureLocked();
  // A damaged database is let go; the next call looks at it afresh.
  if (transaction.sawCorruption() || nested_saw_corruption_) database_.reset();
  return status;
}

OSStatus KeychainStore::beginLocked() {
  // The keychain is the file at its path: one removed or replaced by another program (or host)
  // is let go, and the file there now is opened, or made, as a restart would. It is looked at
  // again once the write lock is held, since it can change while the lock is waited for.
  for (int attempt = 0;; ++attempt) {
    if (database_ && fileHasMoved(database_.get())) database_.reset();
    if (OSStatus opened = openLocked(); opened != errSecSuccess) return opened;
    sqlite3* database = database_.get();
    if (sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
      bool corrupt = isCorruption(sqlite3_errcode(database));
      if (corrupt) database_.reset();
      return corrupt ? errSecNotAvailable : errSecIO;
    }
    if (!fileHasMoved(database) || attempt == 1) return errSecSuccess;
    sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

OSStatus KeychainStore::transactNested(const Body& body) {
  sqlite3* database = database_.get();
  if (sqlite3_exec(database, "SAVEPOINT nested", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return isCorruption(sqlite3_errcode(database)) ? errSecNotAvailable : errSecIO;
  }
  KeychainTransaction transaction(database);
  OSStatus status = body(transaction);
  if (status != errSecSuccess) {
    sqlite3_exec(database, "ROLLBACK TO nested", nullptr, nullptr, nullptr);
  }
  if (sqlite3_exec(database, "RELEASE nested", nullptr, nullptr, nullptr) != SQLITE_OK &&
      status == errSecSuccess) {
    status = isCorruption(sqlite3_errcode(database)) ? errSecNotAvailable : errSecIO;
  }
  if (transaction.sawCorruption()) nested_saw_corruption_ = true;
  return status;
}

OSStatus KeychainStore::openStepFailureLocked(sqlite3* database, const std::string& path) {
  if (auto failure = foundation::takeSqliteOpenFailure()) {
    logOnceLocked("The keychain's file " + failure->path + " " + failure->problem);
    // A companion that cannot be used (a FIFO or directory where its journal goes) is in the
    // way for now: the keychain itself is not in question.
    if (failure->path != path || foundation::isNotNow(failure->error)) return errSecIO;
    return errSecNotAvailable;
  }
  switch (sqlite3_errcode(database) & 0xFF) {
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_FULL:
    case SQLITE_NOMEM:
    case SQLITE_PERM: {
      const int cause = sqlite3_system_errno(database);
      return cause != 0 ? keychainStatusForSystemError(path, cause) : errSecIO;
    }
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return errSecIO;
    default:
      return errSecNotAvailable;
  }
}

void KeychainStore::logWriteFailureLocked() {
  if (auto failure = foundation::takeSqliteOpenFailure()) {
    logOnceLocked("The keychain's file " + failure->path + " " + failure->problem);
  }
  if (const int cause = foundation::takeSqliteWriteError(); cause != 0) {
    logOnceLocked("The keychain " + directoryLocked() + "/" + kKeychainFileName +
                  " could not be written: " + foundation::describeSystemError(cause));
  }
}

void KeychainStore::logOnceLocked(const std::string& line) {
  if (logged_lines_.insert(line).second) NSLog("%s", line.c_str());
}

void KeychainStore::setDirectory(std::optional<std::string> directory) {
  std::lock_guard lock(mutex_);
  database_.reset();
  // Another keychain: its causes are its own.
  if (directory != directory_) logged_lines_.clear();
  directory_ = std::move(directory);
}

std::string KeychainStore::databasePath() const {
  std::lock_guard lock(mutex_);
  return directoryLocked() + "/" + kKeychainFileName;
}

void KeychainStore::close() {
  std::lock_guard lock(mutex_);
  database_.reset();
}

}  // namespace security::internal
