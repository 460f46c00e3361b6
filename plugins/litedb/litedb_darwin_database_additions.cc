#include "plugins/litedb/litedb_darwin_database_additions.h"


#include "platform/foundation/ascii_case.h"
#include "platform/foundation/ns_log.h"
#include "plugins/litedb/litedb_text.h"

namespace litedb {
template <typename Read>
bool LiteDbDarwinDatabaseAdditions::firstRow(const std::string& sql,
                                             const LiteDbDarwinValues& values, Read read) {
  auto resultSet = db_.executeQuery(sql, values);
  if (!resultSet) return false;
  bool found = resultSet->next();
  if (found) read(*resultSet);
  resultSet->close();
  resultSet->setParentDB(nullptr);
  return found;
}

std::optional<std::string> LiteDbDarwinDatabaseAdditions::stringForQuery(
    const std::string& sql, const LiteDbDarwinValues& values) {
  std::optional<std::string> value;
  firstRow(sql, values, [&](LiteDbDarwinResultSet& rs) { value = rs.stringForColumnIndex(0); });
  return value;
}

int LiteDbDarwinDatabaseAdditions::intForQuery(const std::string& sql,
                                               const LiteDbDarwinValues& values) {
  int value = 0;
  firstRow(sql, values, [&](LiteDbDarwinResultSet& rs) { value = rs.intForColumnIndex(0); });
  return value;
}

int64_t LiteDbDarwinDatabaseAdditions::longForQuery(const std::string& sql,
                                                    const LiteDbDarwinValues& values) {
  int64_t value = 0;
  firstRow(sql, values, [&](LiteDbDarwinResultSet& rs) { value = rs.longForColumnIndex(0); });
  return value;
}

bool LiteDbDarwinDatabaseAdditions::boolForQuery(const std::string& sql,
                                                 const LiteDbDarwinValues& values) {
  bool value = false;
  firstRow(sql, values, [&](LiteDbDarwinResultSet& rs) { value = rs.boolForColumnIndex(0); });
  return value;
}

double LiteDbDarwinDatabaseAdditions::doubleForQuery(const std::string& sql,
                                                     const LiteDbDarwinValues& values) {
  double value = 0;
  firstRow(sql, values, [&](LiteDbDarwinResultSet& rs) { value = rs.doubleForColumnIndex(0); });
  return value;
}

std::optional<LiteDbDarwinData> LiteDbDarwinDatabaseAdditions::dataForQuery(
    const std::string& sql, const LiteDbDarwinValues& values) {
  std::optional<LiteDbDarwinData> value;
  firstRow(sql, values, [&](LiteDbDarwinResultSet& rs) { value = rs.dataForColumnIndex(0); });
  return value;
}

std::optional<NSDate> LiteDbDarwinDatabaseAdditions::dateForQuery(
    const std::string& sql, const LiteDbDarwinValues& values) {
  std::optional<NSDate> value;
  firstRow(sql, values, [&](LiteDbDarwinResultSet& rs) { value = rs.dateForColumnIndex(0); });
  return value;
}

bool LiteDbDarwinDatabaseAdditions::tableExists(const std::string& tableName) {
  return firstRow("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
                  {foundation::asciiLowercased(tableName)}, [](LiteDbDarwinResultSet&) {});
}

std::shared_ptr<LiteDbDarwinResultSet> LiteDbDarwinDatabaseAdditions::getSchema() {
  return db_.executeQuery(
      "SELECT type, name, tbl_name, rootpage, sql FROM (SELECT * FROM sqlite_master UNION ALL "
      "SELECT * FROM sqlite_temp_master) WHERE type != 'meta' AND name NOT LIKE 'sqlite_%' ORDER "
      "BY tbl_name, type DESC, name");
}

std::shared_ptr<LiteDbDarwinResultSet> LiteDbDarwinDatabaseAdditions::getTableSchema(
    const std::string& tableName) {
  return db_.executeQuery("select * from pragma_table_info(?)", {tableName});
}

bool LiteDbDarwinDatabaseAdditions::columnExistsInTableWithName(const std::string& columnName,
                                                                const std::string& tableName) {
  std::string column = foundation::asciiLowercased(columnName);
  auto resultSet = getTableSchema(foundation::asciiLowercased(tableName));
  if (!resultSet) return false;
  bool found = false;
  while (!found && resultSet->next()) {
    found = foundation::asciiLowercased(resultSet->stringForColumn("name").value_or("")) == column;
  }
  resultSet->close();
  return found;
}

void LiteDbDarwinDatabaseAdditions::runPragma(const std::string& sql) {
  auto resultSet = db_.executeQuery(sql);
  if (!resultSet) return;
  resultSet->next();
  resultSet->close();
}

uint32_t LiteDbDarwinDatabaseAdditions::applicationID() {
  return static_cast<uint32_t>(longForQuery("pragma application_id", {}));
}

void LiteDbDarwinDatabaseAdditions::setApplicationID(uint32_t appID) {
  runPragma("pragma application_id=" + std::to_string(static_cast<int32_t>(appID)));
}

std::string LiteDbDarwinDatabaseAdditions::applicationIDString() {
  uint32_t code = applicationID();
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    text.push_back(static_cast<char>((code >> shift) & 0xFF));
  }
  return text;
}

void LiteDbDarwinDatabaseAdditions::setApplicationIDString(const std::string& text) {
  if (text.size() != 4) {
    NSLog("setApplicationIDString: string passed is not exactly 4 chars long. (was %ld)",
          static_cast<long>(text.size()));
  }
  // As the platform's four-character code: the first four bytes, big-endian; none gives 0.
  uint32_t code = 0;
  if (text.size() >= 4) {
    for (size_t i = 0; i < 4; ++i) code = (code << 8) | static_cast<unsigned char>(text[i]);
  }
  setApplicationID(code);
}

uint32_t LiteDbDarwinDatabaseAdditions::userVersion() {
  return static_cast<uint32_t>(longForQuery("pragma user_version", {}));
}

void LiteDbDarwinDatabaseAdditions::setUserVersion(uint32_t version) {
  runPragma("pragma user_version = " + std::to_string(static_cast<int32_t>(version)));
}

bool LiteDbDarwinDatabaseAdditions::validateSQL(const std::string& sql, NSError* error) {
  sqlite3_stmt* statement = nullptr;
  int result = sqlite3_prepare_v2(db_.sqliteHandle(), sql.c_str(),
                                  static_cast<int>(sql.size() + 1), &statement, nullptr);
  bool ok = result == SQLITE_OK;
  if (!ok && error != nullptr) {
    *error = NSError{NSCocoaErrorDomain, db_.lastErrorCode(), db_.lastErrorMessage()};
  }
  sqlite3_finalize(statement);
  return ok;
}

}  // namespace litedb
