#include "plugins/litedb/litedb_arguments.h"

#include <limits>

#include "plugins/litedb/litedb_sql_values.h"

namespace litedb {
namespace {

std::string quoted(std::string_view key) {
  std::string text(1, '\'');
  text.append(key).push_back('\'');
  return text;
}

FlutterError wrongType(std::string_view key, const char* expected) {
  return LiteDbArguments::badParam("Invalid argument " + quoted(key) + ": expected " + expected);
}

const flutter::Value* lookUp(const flutter::ValueMap& map, std::string_view key) {
  const flutter::Value* value = map.find(key);
  return value != nullptr && !value->isNull() ? value : nullptr;
}

}  // namespace

const flutter::Value* LiteDbArguments::find(std::string_view key) const {
  const auto* map = arguments_.asMap();
  return map != nullptr ? lookUp(*map, key) : nullptr;
}

Argument<std::string> LiteDbArguments::string(std::string_view key) const {
  const flutter::Value* value = find(key);
  if (value == nullptr || value->asString() == nullptr) return wrongType(key, "a string");
  return *value->asString();
}

Argument<std::string> LiteDbArguments::path(std::string_view key) const {
  auto value = string(key);
  if (value && value->find('\0') != std::string::npos) {
    return badParam("Invalid argument " + quoted(key) + ": a path cannot hold a zero byte");
  }
  return value;
}

Argument<std::string> LiteDbArguments::absolutePath(std::string_view key,
                                                    bool memoryAllowed) const {
  auto value = path(key);
  if (!value || value->starts_with('/') || (memoryAllowed && *value == ":memory:")) return value;
  return badParam("Invalid argument " + quoted(key) + ": expected an absolute path" +
                  (memoryAllowed ? " or \":memory:\"" : ""));
}

Argument<std::optional<int64_t>> LiteDbArguments::optionalInteger(std::string_view key,
                                                                  bool bits32) const {
  const flutter::Value* value = find(key);
  if (value == nullptr) return std::optional<int64_t>();
  auto integer = value->asInteger();
  if (!integer) return wrongType(key, "an integer");
  if (bits32 && (*integer < std::numeric_limits<int32_t>::min() ||
                 *integer > std::numeric_limits<int32_t>::max())) {
    return wrongType(key, "a 32-bit integer");
  }
  return std::optional<int64_t>(*integer);
}

Argument<int64_t> LiteDbArguments::integer(std::string_view key, bool bits32) const {
  auto value = optionalInteger(key, bits32);
  if (!value) return value.error();
  if (!value->has_value()) return wrongType(key, "an integer");
  return **value;
}

Argument<std::optional<bool>> LiteDbArguments::optionalFlag(std::string_view key) const {
  const flutter::Value* value = find(key);
  if (value == nullptr) return std::optional<bool>();
  if (!value->is<bool>()) return wrongType(key, "a boolean");
  return std::optional<bool>(value->get<bool>());
}

Argument<bool> LiteDbArguments::flag(std::string_view key) const {
  auto value = optionalFlag(key);
  if (!value) return value.error();
  return value->value_or(false);
}

std::optional<FlutterError> LiteDbArguments::checkStatement(const flutter::ValueMap& entry,
                                                            const std::string& where) const {
  const flutter::Value* sql = lookUp(entry, "sql");
  if (sql == nullptr || sql->asString() == nullptr) {
    return badParam("Invalid argument 'sql'" + where + ": expected a string");
  }
  if (auto problem = invalidSqlArguments(lookUp(entry, "arguments"))) {
    return badParam("Invalid argument 'arguments'" + where + ": " + *problem);
  }
  return std::nullopt;
}

std::optional<FlutterError> LiteDbArguments::checkSqlCall(const std::string& method) const {
  const auto* map = arguments_.asMap();
  if (map == nullptr) return badParam("Expected a map of arguments");
  for (const char* key : {"noResult", "continueOnError", "inTransaction", "cancel"}) {
    if (auto value = optionalFlag(key); !value) return value.error();
  }
  for (const char* key : {"transactionId", "cursorPageSize", "cursorId"}) {
    if (auto value = optionalInteger(key, true); !value) return value.error();
  }
  if (method == "queryCursorNext") {
    if (auto cursor = integer("cursorId", true); !cursor) return cursor.error();
    return std::nullopt;
  }
  if (method != "batch") return checkStatement(*map, "");
  const flutter::Value* operations = find("operations");
  if (operations == nullptr || operations->asList() == nullptr) {
    return wrongType("operations", "a list of maps");
  }
  const auto& entries = *operations->asList();
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto* entry = entries[i].asMap();
    std::string where = " of operation " + std::to_string(i);
    if (entry == nullptr) return badParam("Invalid operation " + std::to_string(i) + ": expected a map");
    const flutter::Value* entry_method = lookUp(*entry, "method");
    if (entry_method == nullptr || entry_method->asString() == nullptr) {
      return badParam("Invalid argument 'method'" + where + ": expected a string");
    }
    // An unknown method is answered when the batch reaches it, after the entries before it.
    const std::string& name = *entry_method->asString();
    if (name != "insert" && name != "update" && name != "execute" && name != "query") continue;
    if (auto problem = checkStatement(*entry, where)) return problem;
    const flutter::Value* page = lookUp(*entry, "cursorPageSize");
    if (page != nullptr && !page->isInteger()) {
      return badParam("Invalid argument 'cursorPageSize'" + where + ": expected an integer");
    }
  }
  return std::nullopt;
}

}  // namespace litedb
