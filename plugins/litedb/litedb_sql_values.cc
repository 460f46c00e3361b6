#include "plugins/litedb/litedb_sql_values.h"

#include <cstring>

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

LiteDbDarwinValues toBindValues(const flutter::ValueList& sqlArguments) {
  LiteDbDarwinValues values;
  values.reserve(sqlArguments.size());
  for (const auto& value : sqlArguments) {
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, int32_t> ||
                        std::is_same_v<T, int64_t> || std::is_same_v<T, double> ||
                        std::is_same_v<T, std::string>) {
            values.emplace_back(v);
          } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
            values.emplace_back(LiteDbDarwinData(v));
          } else {
            // Null, and anything the argument check has already refused.
            values.emplace_back(std::monostate{});
          }
        },
        value.storage());
  }
  return values;
}

flutter::Value rsObjectForColumn(const LiteDbDarwinResultSet& resultSet, int index) {
  if (index < 0 || index >= resultSet.columnCount()) return flutter::Value();
  switch (resultSet.typeForColumnIndex(index)) {
    case SQLITE_INTEGER:
      return flutter::Value(static_cast<int64_t>(resultSet.longLongIntForColumnIndex(index)));
    case SQLITE_FLOAT:
      return flutter::Value(resultSet.doubleForColumnIndex(index));
    case SQLITE_BLOB: {
      auto data = resultSet.dataForColumnIndex(index);
      return flutter::Value(data ? std::move(*data) : std::vector<uint8_t>());
    }
    default: {
      auto text = resultSet.stringForColumnIndex(index);
      return text ? flutter::Value(std::move(*text)) : flutter::Value();
    }
  }
}

LiteDbResultPage resultSetToResults(LiteDbDarwinResultSet& resultSet,
                                    std::optional<int64_t> cursorPageSize) {
  LiteDbResultPage result;
  flutter::ValueList rows;
  int column_count = 0;
  for (;;) {
    NSError error;
    int step = resultSet.internalStepWithError(&error);
    if (step != SQLITE_ROW) {
      if (step != SQLITE_DONE) result.error = error;
      break;
    }
    if (rows.empty()) {
      column_count = resultSet.columnCount();
      flutter::ValueList columns;
      columns.reserve(static_cast<size_t>(column_count));
      for (int i = 0; i < column_count; ++i) columns.emplace_back(resultSet.columnNameForIndex(i));
      result.page.append(flutter::Value("columns"), flutter::Value(std::move(columns)));
    }
    flutter::ValueList row;
    row.reserve(static_cast<size_t>(column_count));
    for (int i = 0; i < column_count; ++i) row.push_back(rsObjectForColumn(resultSet, i));
    rows.emplace_back(std::move(row));
    // A negative page size is never reached: the page then holds every remaining row.
    if (cursorPageSize && *cursorPageSize >= 0 &&
        static_cast<int64_t>(rows.size()) >= *cursorPageSize) {
      break;
    }
  }
  if (result.page.contains("columns")) {
    result.page.append(flutter::Value("rows"), flutter::Value(std::move(rows)));
  }
  return result;
}

}  // namespace litedb
