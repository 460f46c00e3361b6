// A forward-only cursor over one prepared statement. It owns its statement and, until it is
// closed, its connection; the connection lists it among its open result sets without owning it.
// Destroying an open result set closes it. Used only on its connection's work queue.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/foundation/ns_error.h"
#include "plugins/litedb/litedb_darwin_statement.h"
#include "plugins/litedb/litedb_darwin_value.h"

namespace litedb {

class LiteDbDarwinDatabase;

class LiteDbDarwinResultSet {
 public:
  // Marks the statement in use. Refuses (null, and a log line) a statement already in use.
  static std::shared_ptr<LiteDbDarwinResultSet> resultSetWithStatement(
      std::shared_ptr<LiteDbDarwinStatement> statement,
      std::shared_ptr<LiteDbDarwinDatabase> parentDB, bool shouldAutoClose);

  LiteDbDarwinResultSet(std::shared_ptr<LiteDbDarwinStatement> statement,
                        std::shared_ptr<LiteDbDarwinDatabase> parentDB, bool shouldAutoClose);
  ~LiteDbDarwinResultSet();
  LiteDbDarwinResultSet(const LiteDbDarwinResultSet&) = delete;
  LiteDbDarwinResultSet& operator=(const LiteDbDarwinResultSet&) = delete;

  // Stepping. next answers whether a row is available; step whether the statement is done.
  bool next() { return nextWithError(nullptr); }
  bool nextWithError(NSError* error) { return internalStepWithError(error) == SQLITE_ROW; }
  bool step() { return stepWithError(nullptr); }
  bool stepWithError(NSError* error) { return internalStepWithError(error) == SQLITE_DONE; }
  // One sqlite3_step; answers its result code. Any code but SQLITE_ROW closes a result set that
  // closes itself.
  int internalStepWithError(NSError* error);
  // Whether the parent connection's latest result code is SQLITE_ROW.
  bool hasAnotherRow() const;
  void close();

  int columnCount() const;
  std::string columnNameForIndex(int columnIdx) const;
  int columnIndexForName(const std::string& columnName);
  const std::map<std::string, int>& columnNameToIndexMap();

  // Column reads by index.
  int intForColumnIndex(int columnIdx) const;
  int64_t longForColumnIndex(int columnIdx) const;
  int64_t longLongIntForColumnIndex(int columnIdx) const;
  uint64_t unsignedLongLongIntForColumnIndex(int columnIdx) const;
  bool boolForColumnIndex(int columnIdx) const;
  double doubleForColumnIndex(int columnIdx) const;
  int typeForColumnIndex(int columnIdx) const;
  bool columnIndexIsNull(int columnIdx) const;
  // nullopt for a NULL value or an index outside the columns.
  std::optional<std::string> stringForColumnIndex(int columnIdx) const;
  // Also nullopt for an empty blob, as SQLite hands out no bytes for it.
  std::optional<LiteDbDarwinData> dataForColumnIndex(int columnIdx) const;
  // SQLite's own bytes, valid until the next step or close.
  std::optional<std::span<const uint8_t>> dataNoCopyForColumnIndex(int columnIdx) const;
  const char* UTF8StringForColumnIndex(int columnIdx) const;
  std::optional<NSDate> dateForColumnIndex(int columnIdx) const;
  // Bytes, double, 64-bit integer or text by the column's type; the null marker for nothing.
  LiteDbDarwinValue objectForColumnIndex(int columnIdx) const;

  // The same by column name (case-insensitive; an unknown name reads column -1).
  int intForColumn(const std::string& columnName);
  int64_t longForColumn(const std::string& columnName);
  int64_t longLongIntForColumn(const std::string& columnName);
  uint64_t unsignedLongLongIntForColumn(const std::string& columnName);
  bool boolForColumn(const std::string& columnName);
  double doubleForColumn(const std::string& columnName);
  int typeForColumn(const std::string& columnName);
  bool columnIsNull(const std::string& columnName);
  std::optional<std::string> stringForColumn(const std::string& columnName);
  std::optional<LiteDbDarwinData> dataForColumn(const std::string& columnName);
  std::optional<std::span<const uint8_t>> dataNoCopyForColumn(const std::string& columnName);
  const char* UTF8StringForColumn(const std::string& columnName);
  const char* UTF8StringForColumnName(const std::string& columnName) {
    return UTF8StringForColumn(columnName);
  }
  std::optional<NSDate> dateForColumn(const std::string& columnName);
  LiteDbDarwinValue objectForColumn(const std::string& columnName);
  LiteDbDarwinValue objectForColumnName(const std::string& columnName) {
    return objectForColumn(columnName);
  }
  LiteDbDarwinValue operator[](int columnIdx) const { return objectForColumnIndex(columnIdx); }
  LiteDbDarwinValue operator[](const std::string& columnName) { return objectForColumn(columnName); }

  // The row as a map from column name (as SQLite gives it) to its object; nullopt without data.
  std::optional<std::map<std::string, LiteDbDarwinValue>> resultDictionary() const;
  // The same keyed by lower-cased column name.
  std::optional<std::map<std::string, LiteDbDarwinValue>> resultDict();
  // Hands each column whose text is not null to `setValueForKey` (value, column name).
  void kvcMagic(const std::function<void(const std::string& value, const std::string& key)>&
                    setValueForKey) const;

  // Resets the statement and binds new values through the parent's binding step.
  bool bindWithArray(const LiteDbDarwinValues& values);
  bool bindWithDictionary(const LiteDbDarwinNamedValues& values);
  bool bindWithArray(const LiteDbDarwinValues* values, const LiteDbDarwinNamedValues* dictionary,
                     const LiteDbDarwinValues* trailing);

  const std::shared_ptr<LiteDbDarwinDatabase>& parentDB() const { return parent_db_; }
  void setParentDB(std::shared_ptr<LiteDbDarwinDatabase> parentDB) {
    parent_db_ = std::move(parentDB);
  }
  const std::string& query() const { return query_; }
  void setQuery(std::string query) { query_ = std::move(query); }
  bool shouldAutoClose() const { return should_auto_close_; }
  void setShouldAutoClose(bool autoClose) { should_auto_close_ = autoClose; }
  const std::shared_ptr<LiteDbDarwinStatement>& statement() const { return statement_; }
  void setStatement(std::shared_ptr<LiteDbDarwinStatement> statement) {
    statement_ = std::move(statement);
  }

 private:
  // The parent's path, for the log.
  std::string databaseName() const;
  sqlite3_stmt* handle() const { return statement_ ? statement_->statement() : nullptr; }
  // Guards of the text and byte readers: a valid index and a value that is not NULL.
  bool readableColumn(int columnIdx) const;

  std::optional<std::map<std::string, int>> column_name_to_index_map_;
  bool should_auto_close_;
  std::shared_ptr<LiteDbDarwinDatabase> parent_db_;
  std::string query_;
  std::shared_ptr<LiteDbDarwinStatement> statement_;
};

}  // namespace litedb
