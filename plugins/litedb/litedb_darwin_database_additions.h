// Single-value and schema queries on a connection. A view: it holds the connection it is made
// with and has no state of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/ns_error.h"
#include "plugins/litedb/litedb_darwin_database.h"

namespace litedb {

class LiteDbDarwinDatabaseAdditions {
 public:
  explicit LiteDbDarwinDatabaseAdditions(LiteDbDarwinDatabase& db) : db_(db) {}

  // Column 0 of the first row; nothing, 0, false or 0.0 without a row.
  std::optional<std::string> stringForQuery(const std::string& sql,
                                            const LiteDbDarwinValues& values = {});
  int intForQuery(const std::string& sql, const LiteDbDarwinValues& values = {});
  int64_t longForQuery(const std::string& sql, const LiteDbDarwinValues& values = {});
  bool boolForQuery(const std::string& sql, const LiteDbDarwinValues& values = {});
  double doubleForQuery(const std::string& sql, const LiteDbDarwinValues& values = {});
  std::optional<LiteDbDarwinData> dataForQuery(const std::string& sql,
                                               const LiteDbDarwinValues& values = {});
  std::optional<NSDate> dateForQuery(const std::string& sql, const LiteDbDarwinValues& values = {});

  bool tableExists(const std::string& tableName);
  std::shared_ptr<LiteDbDarwinResultSet> getSchema();
  // The table's columns (pragma table_info); the name is bound, never pasted into the SQL.
  std::shared_ptr<LiteDbDarwinResultSet> getTableSchema(const std::string& tableName);
  bool columnExistsInTableWithName(const std::string& columnName, const std::string& tableName);
  bool columnExists(const std::string& tableName, const std::string& columnName) {
    return columnExistsInTableWithName(columnName, tableName);
  }

  uint32_t applicationID();
  void setApplicationID(uint32_t appID);
  std::string applicationIDString();
  void setApplicationIDString(const std::string& text);
  uint32_t userVersion();
  void setUserVersion(uint32_t version);

  // Whether the SQL prepares; on failure `error` gets the reason (NSCocoaErrorDomain).
  bool validateSQL(const std::string& sql, NSError* error = nullptr);

 private:
  // Runs the query and hands its first row to `read`; false when there was none.
  template <typename Read>
  bool firstRow(const std::string& sql, const LiteDbDarwinValues& values, Read read);
  void runPragma(const std::string& sql);

  LiteDbDarwinDatabase& db_;
};

}  // namespace litedb
