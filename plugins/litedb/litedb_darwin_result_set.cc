#include "plugins/litedb/litedb_darwin_result_set.h"

#include "platform/foundation/ascii_case.h"
#include "platform/foundation/ns_log.h"
#include "plugins/litedb/litedb_darwin_database.h"
#include "plugins/litedb/litedb_text.h"

namespace litedb {
std::shared_ptr<LiteDbDarwinResultSet> LiteDbDarwinResultSet::resultSetWithStatement(
    std::shared_ptr<LiteDbDarwinStatement> statement,
    std::shared_ptr<LiteDbDarwinDatabase> parentDB, bool shouldAutoClose) {
  if (!statement || statement->inUse()) {
    NSLog("Invalid parameter not satisfying: %s", "![statement inUse]");
    return nullptr;
  }
  return std::make_shared<LiteDbDarwinResultSet>(std::move(statement), std::move(parentDB),
                                                 shouldAutoClose);
}

LiteDbDarwinResultSet::LiteDbDarwinResultSet(std::shared_ptr<LiteDbDarwinStatement> statement,
                                             std::shared_ptr<LiteDbDarwinDatabase> parentDB,
                                             bool shouldAutoClose)
    : should_auto_close_(shouldAutoClose),
      parent_db_(std::move(parentDB)),
      statement_(std::move(statement)) {
  statement_->setInUse(true);
}

LiteDbDarwinResultSet::~LiteDbDarwinResultSet() { close(); }

void LiteDbDarwinResultSet::close() {
  if (statement_) {
    statement_->reset();
    statement_.reset();
  }
  if (parent_db_) {
    // The connection may hold the last other reference to itself only through this pointer.
    auto parent = std::move(parent_db_);
    parent->resultSetDidClose(this);
  }
}

int LiteDbDarwinResultSet::internalStepWithError(NSError* error) {
  sqlite3_stmt* statement = handle();
  if (statement == nullptr) {
    if (error != nullptr) {
      *error = NSError{kLiteDbDarwinErrorDomain, SQLITE_MISUSE, "The result set is closed"};
    }
    return SQLITE_MISUSE;
  }
  int result = SQLITE_MISUSE;
  if (parent_db_) {
    result = parent_db_->stepStatement(statement, error);
  } else {
    result = sqlite3_step(statement);
    if (result != SQLITE_ROW && result != SQLITE_DONE && error != nullptr) {
      *error = NSError{kLiteDbDarwinErrorDomain, SQLITE_MISUSE, "parentDB does not exist"};
    }
  }
  if (result != SQLITE_ROW && should_auto_close_) close();
  return result;
}

std::string LiteDbDarwinResultSet::databaseName() const {
  if (!parent_db_ || !parent_db_->databasePath()) return "(null)";
  return *parent_db_->databasePath();
}

bool LiteDbDarwinResultSet::hasAnotherRow() const {
  if (!parent_db_ || parent_db_->sqliteHandle() == nullptr) return false;
  return sqlite3_errcode(parent_db_->sqliteHandle()) == SQLITE_ROW;
}

int LiteDbDarwinResultSet::columnCount() const {
  sqlite3_stmt* statement = handle();
  return statement != nullptr ? sqlite3_column_count(statement) : 0;
}

std::string LiteDbDarwinResultSet::columnNameForIndex(int columnIdx) const {
  const char* name = handle() != nullptr ? sqlite3_column_name(handle(), columnIdx) : nullptr;
  return name != nullptr ? utf8Text(name) : "";
}

const std::map<std::string, int>& LiteDbDarwinResultSet::columnNameToIndexMap() {
  if (!column_name_to_index_map_) {
    column_name_to_index_map_.emplace();
    int count = columnCount();
    for (int i = 0; i < count; ++i) {
      (*column_name_to_index_map_)[foundation::asciiLowercased(columnNameForIndex(i))] = i;
    }
  }
  return *column_name_to_index_map_;
}

int LiteDbDarwinResultSet::columnIndexForName(const std::string& columnName) {
  std::string name = foundation::asciiLowercased(columnName);
  const auto& map = columnNameToIndexMap();
  auto found = map.find(name);
  if (found != map.end()) return found->second;
  NSLog("Warning: I could not find the column named '%s'.", name.c_str());
  return -1;
}

// Column reads by index.

bool LiteDbDarwinResultSet::readableColumn(int columnIdx) const {
  return handle() != nullptr && columnIdx >= 0 && columnIdx < columnCount() &&
         sqlite3_column_type(handle(), columnIdx) != SQLITE_NULL;
}

int LiteDbDarwinResultSet::intForColumnIndex(int columnIdx) const {
  return handle() != nullptr ? sqlite3_column_int(handle(), columnIdx) : 0;
}

int64_t LiteDbDarwinResultSet::longForColumnIndex(int columnIdx) const {
  return longLongIntForColumnIndex(columnIdx);
}

int64_t LiteDbDarwinResultSet::longLongIntForColumnIndex(int columnIdx) const {
  return handle() != nullptr ? sqlite3_column_int64(handle(), columnIdx) : 0;
}

uint64_t LiteDbDarwinResultSet::unsignedLongLongIntForColumnIndex(int columnIdx) const {
  return static_cast<uint64_t>(longLongIntForColumnIndex(columnIdx));
}

bool LiteDbDarwinResultSet::boolForColumnIndex(int columnIdx) const {
  return intForColumnIndex(columnIdx) != 0;
}

double LiteDbDarwinResultSet::doubleForColumnIndex(int columnIdx) const {
  return handle() != nullptr ? sqlite3_column_double(handle(), columnIdx) : 0;
}

int LiteDbDarwinResultSet::typeForColumnIndex(int columnIdx) const {
  return handle() != nullptr ? sqlite3_column_type(handle(), columnIdx) : SQLITE_NULL;
}

bool LiteDbDarwinResultSet::columnIndexIsNull(int columnIdx) const {
  return typeForColumnIndex(columnIdx) == SQLITE_NULL;
}

std::optional<std::string> LiteDbDarwinResultSet::stringForColumnIndex(int columnIdx) const {
  if (!readableColumn(columnIdx)) return std::nullopt;
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(handle(), columnIdx));
  if (text == nullptr) return std::nullopt;
  // The byte count, not the first zero byte, ends the text.
  return utf8Text({text, static_cast<size_t>(sqlite3_column_bytes(handle(), columnIdx))});
}

std::optional<LiteDbDarwinData> LiteDbDarwinResultSet::dataForColumnIndex(int columnIdx) const {
  auto bytes = dataNoCopyForColumnIndex(columnIdx);
  if (!bytes) return std::nullopt;
  return LiteDbDarwinData(bytes->begin(), bytes->end());
}

std::optional<std::span<const uint8_t>> LiteDbDarwinResultSet::dataNoCopyForColumnIndex(
    int columnIdx) const {
  if (!readableColumn(columnIdx)) return std::nullopt;
  const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(handle(), columnIdx));
  if (bytes == nullptr) return std::nullopt;
  return std::span<const uint8_t>(bytes,
                                  static_cast<size_t>(sqlite3_column_bytes(handle(), columnIdx)));
}

const char* LiteDbDarwinResultSet::UTF8StringForColumnIndex(int columnIdx) const {
  if (!readableColumn(columnIdx)) return nullptr;
  return reinterpret_cast<const char*>(sqlite3_column_text(handle(), columnIdx));
}

std::optional<NSDate> LiteDbDarwinResultSet::dateForColumnIndex(int columnIdx) const {
  if (!readableColumn(columnIdx)) return std::nullopt;
  if (parent_db_ && parent_db_->hasDateFormatter()) {
    auto text = stringForColumnIndex(columnIdx);
    return text ? parent_db_->dateFromString(*text) : std::nullopt;
  }
  return NSDate::dateWithTimeIntervalSince1970(doubleForColumnIndex(columnIdx));
}

LiteDbDarwinValue LiteDbDarwinResultSet::objectForColumnIndex(int columnIdx) const {
  if (columnIdx < 0 || columnIdx >= columnCount()) return std::monostate{};
  switch (typeForColumnIndex(columnIdx)) {
    case SQLITE_BLOB: {
      auto data = dataForColumnIndex(columnIdx);
      return data ? LiteDbDarwinValue(std::move(*data)) : LiteDbDarwinValue();
    }
    case SQLITE_FLOAT:
      return doubleForColumnIndex(columnIdx);
    case SQLITE_INTEGER:
      return longLongIntForColumnIndex(columnIdx);
    default: {
      auto text = stringForColumnIndex(columnIdx);
      return text ? LiteDbDarwinValue(std::move(*text)) : LiteDbDarwinValue();
    }
  }
}

// The same by name.

int LiteDbDarwinResultSet::intForColumn(const std::string& n) {
  return intForColumnIndex(columnIndexForName(n));
}
int64_t LiteDbDarwinResultSet::longForColumn(const std::string& n) {
  return longForColumnIndex(columnIndexForName(n));
}
int64_t LiteDbDarwinResultSet::longLongIntForColumn(const std::string& n) {
  return longLongIntForColumnIndex(columnIndexForName(n));
}
uint64_t LiteDbDarwinResultSet::unsignedLongLongIntForColumn(const std::string& n) {
  return unsignedLongLongIntForColumnIndex(columnIndexForName(n));
}
bool LiteDbDarwinResultSet::boolForColumn(const std::string& n) {
  return boolForColumnIndex(columnIndexForName(n));
}
double LiteDbDarwinResultSet::doubleForColumn(const std::string& n) {
  return doubleForColumnIndex(columnIndexForName(n));
}
int LiteDbDarwinResultSet::typeForColumn(const std::string& n) {
  return typeForColumnIndex(columnIndexForName(n));
}
bool LiteDbDarwinResultSet::columnIsNull(const std::string& n) {
  return columnIndexIsNull(columnIndexForName(n));
}
std::optional<std::string> LiteDbDarwinResultSet::stringForColumn(const std::string& n) {
  return stringForColumnIndex(columnIndexForName(n));
}
std::optional<LiteDbDarwinData> LiteDbDarwinResultSet::dataForColumn(const std::string& n) {
  return dataForColumnIndex(columnIndexForName(n));
}
std::optional<std::span<const uint8_t>> LiteDbDarwinResultSet::dataNoCopyForColumn(
    const std::string& n) {
  return dataNoCopyForColumnIndex(columnIndexForName(n));
}
const char* LiteDbDarwinResultSet::UTF8StringForColumn(const std::string& n) {
  return UTF8StringForColumnIndex(columnIndexForName(n));
}
std::optional<NSDate> LiteDbDarwinResultSet::dateForColumn(const std::string& n) {
  return dateForColumnIndex(columnIndexForName(n));
}
LiteDbDarwinValue LiteDbDarwinResultSet::objectForColumn(const std::string& n) {
  return objectForColumnIndex(columnIndexForName(n));
}

// Whole rows.

std::optional<std::map<std::string, LiteDbDarwinValue>> LiteDbDarwinResultSet::resultDictionary()
    const {
  if (handle() == nullptr || sqlite3_data_count(handle()) == 0) {
    NSLog("Warning: There seem to be no columns in this set.");
    return std::nullopt;
  }
  std::map<std::string, LiteDbDarwinValue> row;
  int count = columnCount();
  for (int i = 0; i < count; ++i) row[columnNameForIndex(i)] = objectForColumnIndex(i);
  return row;
}

std::optional<std::map<std::string, LiteDbDarwinValue>> LiteDbDarwinResultSet::resultDict() {
  if (handle() == nullptr || sqlite3_data_count(handle()) == 0) {
    NSLog("Warning: There seem to be no columns in this set.");
    return std::nullopt;
  }
  std::map<std::string, LiteDbDarwinValue> row;
  for (const auto& [name, index] : columnNameToIndexMap()) row[name] = objectForColumnIndex(index);
  return row;
}

void LiteDbDarwinResultSet::kvcMagic(
    const std::function<void(const std::string& value, const std::string& key)>& setValueForKey)
    const {
  int count = handle() != nullptr ? sqlite3_data_count(handle()) : 0;
  for (int i = 0; i < count; ++i) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(handle(), i));
    if (text != nullptr) setValueForKey(text, columnNameForIndex(i));
  }
}

// Binding again.

bool LiteDbDarwinResultSet::bindWithArray(const LiteDbDarwinValues& values) {
  return bindWithArray(&values, nullptr, nullptr);
}

bool LiteDbDarwinResultSet::bindWithDictionary(const LiteDbDarwinNamedValues& values) {
  return bindWithArray(nullptr, &values, nullptr);
}

bool LiteDbDarwinResultSet::bindWithArray(const LiteDbDarwinValues* values,
                                          const LiteDbDarwinNamedValues* dictionary,
                                          const LiteDbDarwinValues* trailing) {
  if (handle() == nullptr || !parent_db_) return false;
  statement_->reset();
  statement_->setInUse(true);
  if (parent_db_->bindStatement(handle(), values, dictionary, trailing)) return true;
  // The handle is finalized and never used again.
  statement_->close();
  return false;
}

}  // namespace litedb
