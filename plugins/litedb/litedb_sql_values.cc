#include "plugins/litedb/litedb_sql_values.h"

#include <algorithm>
#include <cstring>

#include "plugins/litedb/litedb_text.h"

namespace litedb {
namespace {

template <typename T>
std::vector<uint8_t> rawBytes(const std::vector<T>& elements) {
  std::vector<uint8_t> bytes(elements.size() * sizeof(T));
  if (!bytes.empty()) std::memcpy(bytes.data(), elements.data(), bytes.size());
  return bytes;
}

}  // namespace

bool arrayIsEmpty(const flutter::Value* value) {
  if (value == nullptr || value->isNull()) return true;
  const auto* list = value->asList();
  return list != nullptr && list->empty();
}

std::optional<std::string> invalidSqlArguments(const flutter::Value* arguments) {
  if (arguments == nullptr || arguments->isNull()) return std::nullopt;
  const auto* list = arguments->asList();
  if (list == nullptr) return "expected a list";
  for (size_t i = 0; i < list->size(); ++i) {
    const flutter::Value& value = (*list)[i];
    if (value.is<flutter::ValueMap>() || value.is<std::shared_ptr<const flutter::CustomValue>>()) {
      return "element " + std::to_string(i) + " cannot be bound";
    }
    if (const auto* bytes = value.asList()) {
      for (const auto& element : *bytes) {
        if (!element.isInteger()) {
          return "element " + std::to_string(i) + " must be a list of integers";
        }
      }
    }
  }
  return std::nullopt;
}

flutter::Value toSqlValue(const flutter::Value& value) {
  if (const auto* list = value.asList()) {
    std::vector<uint8_t> bytes;
    bytes.reserve(list->size());
    for (const auto& element : *list) {
      bytes.push_back(static_cast<uint8_t>(element.asInteger().value_or(0) & 0xFF));
    }
    return flutter::Value(std::move(bytes));
  }
  if (const auto* data = value.getIf<std::vector<int32_t>>()) return flutter::Value(rawBytes(*data));
  if (const auto* data = value.getIf<std::vector<int64_t>>()) return flutter::Value(rawBytes(*data));
  if (const auto* data = value.getIf<std::vector<float>>()) return flutter::Value(rawBytes(*data));
  if (const auto* data = value.getIf<std::vector<double>>()) return flutter::Value(rawBytes(*data));
  return value;
}

flutter::ValueList toSqlArguments(const flutter::Value* arguments) {
  flutter::ValueList converted;
  if (arrayIsEmpty(arguments)) return converted;
  const auto* list = arguments->asList();
  if (list == nullptr) return converted;
  converted.reserve(list->size());
  for (const auto& value : *list) converted.push_back(toSqlValue(value));
  return converted;
}

namespace {

// Typed data as the bytes it holds, in the host's order.
template <typename T>
LiteDbDarwinBytesView bytesOf(const std::vector<T>& elements) {
  return {reinterpret_cast<const uint8_t*>(elements.data()), elements.size() * sizeof(T)};
}

// toSqlValue and the conversion below in one step, viewing the text and bytes in place.
LiteDbDarwinValue toBindValue(const flutter::Value& value) {
  return std::visit(
      [](const auto& v) -> LiteDbDarwinValue {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, int32_t> ||
                      std::is_same_v<T, int64_t> || std::is_same_v<T, double>) {
          return v;
        } else if constexpr (std::is_same_v<T, std::string>) {
          return std::string_view(v);
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          return LiteDbDarwinBytesView(v);
        } else if constexpr (std::is_same_v<T, std::vector<int32_t>> ||
                             std::is_same_v<T, std::vector<int64_t>> ||
                             std::is_same_v<T, std::vector<float>> ||
                             std::is_same_v<T, std::vector<double>>) {
          return bytesOf(v);
        } else if constexpr (std::is_same_v<T, flutter::ValueList>) {
          LiteDbDarwinData bytes;
          bytes.reserve(v.size());
          for (const auto& element : v) {
            bytes.push_back(static_cast<uint8_t>(element.asInteger().value_or(0) & 0xFF));
          }
          return bytes;
        } else {
          // Null, and anything the argument check has already refused.
          return std::monostate{};
        }
      },
      value.storage());
}

}  // namespace

LiteDbDarwinValues toBindValues(const flutter::Value* arguments) {
  LiteDbDarwinValues values;
  const auto* list = arguments != nullptr ? arguments->asList() : nullptr;
  if (list == nullptr) return values;
  values.reserve(list->size());
  for (const auto& value : *list) values.push_back(toBindValue(value));
  return values;
}

LiteDbDarwinValues toBindValues(const flutter::ValueList& sqlArguments) {
  LiteDbDarwinValues values;
  values.reserve(sqlArguments.size());
  for (const auto& value : sqlArguments) values.push_back(toBindValue(value));
  return values;
}

flutter::Value rsObjectForColumn(const LiteDbDarwinResultSet& resultSet, int index) {
  if (index < 0 || index >= resultSet.columnCount()) return flutter::Value();
  return columnValue(resultSet.statement()->statement(), index);
}

namespace {

// The result set's column readers give the same values; this reads each column with the fewest
// calls into SQLite, since a page reads every column of every row.
flutter::Value columnValueOfType(sqlite3_stmt* statement, int index, int type) {
  switch (type) {
    case SQLITE_INTEGER:
      return flutter::Value(static_cast<int64_t>(sqlite3_column_int64(statement, index)));
    case SQLITE_FLOAT:
      return flutter::Value(sqlite3_column_double(statement, index));
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(statement, index));
      const auto size = static_cast<size_t>(sqlite3_column_bytes(statement, index));
      // An empty blob comes back as a null pointer; it is still empty bytes, not null.
      return flutter::Value(bytes != nullptr ? std::vector<uint8_t>(bytes, bytes + size)
                                             : std::vector<uint8_t>());
    }
    case SQLITE_NULL:
      return flutter::Value();
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
      if (text == nullptr) return flutter::Value();
      // The byte count, not the first zero byte, ends the text.
      return flutter::Value(
          utf8Text({text, static_cast<size_t>(sqlite3_column_bytes(statement, index))}));
    }
  }
}

size_t encodedSizeOfSize(size_t size) { return size < 254 ? 1 : size <= 0xFFFF ? 3 : 5; }

size_t encodedTextSize(size_t bytes) { return 1 + encodedSizeOfSize(bytes) + bytes; }

// The fewest bytes the standard codec writes the column's value in (a double's alignment is left
// out, and text repair may add to it): a page is refused only when it surely cannot be sent, and
// the transport judges the rest. Reading the size does not make SQLite build a zero blob.
size_t encodedColumnSize(sqlite3_stmt* statement, int index, int type) {
  switch (type) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return 9;
    case SQLITE_NULL:
      return 1;
    default:
      return encodedTextSize(static_cast<size_t>(sqlite3_column_bytes(statement, index)));
  }
}

// The page map's keys and headers, with room for "cursorId" and the largest size fields.
constexpr size_t kPageFrameBytes = 64;

}  // namespace

flutter::Value columnValue(sqlite3_stmt* statement, int index) {
  return columnValueOfType(statement, index, sqlite3_column_type(statement, index));
}

LiteDbResultPage resultSetToResults(LiteDbDarwinResultSet& resultSet,
                                    std::optional<int64_t> cursorPageSize) {
  LiteDbReplyBudget budget;
  return resultSetToResults(resultSet, cursorPageSize, budget);
}

LiteDbResultPage resultSetToResults(LiteDbDarwinResultSet& resultSet,
                                    std::optional<int64_t> cursorPageSize,
                                    LiteDbReplyBudget& budget) {
  LiteDbResultPage result;
  LiteDbPage& page = *result.page;
  std::vector<int> types;
  int column_count = 0;
  size_t used = kPageFrameBytes;
  for (;;) {
    NSError error;
    int step = resultSet.internalStepWithError(&error);
    if (step != SQLITE_ROW) {
      if (step != SQLITE_DONE) result.error = error;
      break;
    }
    sqlite3_stmt* statement = resultSet.statement()->statement();
    if (!page.hasRows()) {
      column_count = resultSet.columnCount();
      std::vector<std::string> columns;
      columns.reserve(static_cast<size_t>(column_count));
      for (int i = 0; i < column_count; ++i) {
        columns.push_back(resultSet.columnNameForIndex(i));
        used += encodedTextSize(std::strlen(sqlite3_column_name(statement, i)));
      }
      page.setColumns(std::move(columns));
      types.resize(static_cast<size_t>(column_count));
    }
    // Each value is sized before it is copied: none past the budget is ever copied.
    used += 1 + encodedSizeOfSize(static_cast<size_t>(column_count));
    for (int i = 0; i < column_count; ++i) {
      const int type = sqlite3_column_type(statement, i);
      types[static_cast<size_t>(i)] = type;
      used += encodedColumnSize(statement, i, type);
      if (used > budget.bytesLeft) {
        budget.exceeded = true;
        return result;
      }
    }
    page.appendRow(statement, types);
    // A negative page size is never reached: the page then holds every remaining row.
    if (cursorPageSize && *cursorPageSize >= 0 &&
        static_cast<int64_t>(page.rowCount()) >= *cursorPageSize) {
      break;
    }
  }
  budget.bytesLeft -= std::min(used, budget.bytesLeft);
  return result;
}

}  // namespace litedb
