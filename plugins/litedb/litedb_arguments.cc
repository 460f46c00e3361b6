#include "plugins/litedb/litedb_arguments.h"

#include "plugins/litedb/litedb_sql_values.h"

namespace litedb {
namespace {

// "Invalid argument '<key>'<where>: <problem>", where `where` names a batch entry.
std::string invalidArgument(std::string_view key, std::string_view where,
                            std::string_view problem) {
  std::string message = "Invalid argument '";
  message.append(key).append("'").append(where).append(": ").append(problem);
  return message;
}

std::string expected(std::string_view key, std::string_view requirement) {
  return invalidArgument(key, "", "expected " + std::string(requirement));
}

}  // namespace

FlutterError badParam(std::string message) {
  return FlutterError{kBadParamCode, std::move(message), nullptr};
}

LiteDbArguments::LiteDbArguments(const flutter::Value& arguments)
    : read_(arguments), errors_({.code = kBadParamCode, .wrong = &expected}) {}

std::optional<std::string> LiteDbArguments::path(std::string_view key) {
  auto value = read_.string(key, errors_);
  if (value && value->find('\0') != std::string::npos) {
    errors_.fail(invalidArgument(key, "", "a path cannot hold a zero byte"));
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> LiteDbArguments::absolutePath(std::string_view key, bool memoryAllowed) {
  auto value = path(key);
  if (!value || value->starts_with('/') || (memoryAllowed && *value == ":memory:")) return value;
  errors_.reject(key, memoryAllowed ? "an absolute path or \":memory:\"" : "an absolute path");
  return std::nullopt;
}

std::optional<bool> LiteDbArguments::flag(std::string_view key) {
  if (!read_.has(key)) return false;
  return read_.boolean(key, errors_, "a boolean");
}

std::optional<int64_t> LiteDbArguments::optionalInteger(std::string_view key, bool bits32) {
  if (!read_.has(key)) return std::nullopt;
  if (bits32) return read_.int32(key, errors_);
  return read_.integer(key, errors_);
}

void LiteDbArguments::checkStatement(const flutter::ArgumentReader& entry,
                                     const std::string& where) {
  if (!entry.string("sql")) errors_.fail(invalidArgument("sql", where, "expected a string"));
  if (auto problem = invalidSqlArguments(entry.find("arguments"))) {
    errors_.fail(invalidArgument("arguments", where, *problem));
  }
}

void LiteDbArguments::checkBatch() {
  const flutter::ValueList* entries = read_.list("operations", errors_, "a list of maps");
  if (entries == nullptr) return;
  for (size_t i = 0; i < entries->size() && errors_.ok(); ++i) {
    const std::string where = " of operation " + std::to_string(i);
    const flutter::ValueMap* map = (*entries)[i].asMap();
    if (map == nullptr) {
      errors_.fail("Invalid operation " + std::to_string(i) + ": expected a map");
      return;
    }
    const flutter::ArgumentReader entry(map);
    auto method = entry.string("method");
    if (!method) {
      errors_.fail(invalidArgument("method", where, "expected a string"));
      return;
    }
    // An unknown method is answered when the batch reaches it, after the entries before it.
    if (*method != "insert" && *method != "update" && *method != "execute" && *method != "query") {
      continue;
    }
    checkStatement(entry, where);
    if (entry.has("cursorPageSize") && !entry.integer("cursorPageSize")) {
      errors_.fail(invalidArgument("cursorPageSize", where, "expected an integer"));
    }
  }
}

std::optional<FlutterError> LiteDbArguments::checkSqlCall(const std::string& method) {
  if (!read_.isMap()) return badParam("Expected a map of arguments");
  for (const char* key : {"noResult", "continueOnError", "inTransaction", "cancel"}) flag(key);
  for (const char* key : {"transactionId", "cursorPageSize", "cursorId"}) {
    optionalInteger(key, true);
  }
  if (!errors_.ok()) return errors_.first();
  if (method == "queryCursorNext") {
    read_.int32("cursorId", errors_);
  } else if (method == "batch") {
    checkBatch();
  } else {
    checkStatement(read_, "");
  }
  return errors_.first();
}

}  // namespace litedb
