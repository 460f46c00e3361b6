// Values between the channel and SQLite: statement arguments on the way in, column values and
// result pages on the way out.
#pragma once

#include <optional>
#include <string>

#include "platform/flutter/value.h"
#include "platform/foundation/ns_error.h"
#include "plugins/litedb/litedb_darwin_result_set.h"
#include "plugins/litedb/litedb_darwin_value.h"
#include "plugins/litedb/litedb_page.h"
#include "plugins/litedb/litedb_reply_limit.h"

namespace litedb {

// True for an absent value, null and an empty list.
bool arrayIsEmpty(const flutter::Value* value);
// Why these statement arguments cannot be bound, or nullopt when they can: they must be a list
// of null, booleans, numbers, strings, typed data and lists of integers (sent as bytes).
std::optional<std::string> invalidSqlArguments(const flutter::Value* arguments);
// The arguments as they are bound: typed data as its bytes, a list of integers as one byte per
// element (the low 8 bits), everything else unchanged.
flutter::ValueList toSqlArguments(const flutter::Value* arguments);
flutter::Value toSqlValue(const flutter::Value& value);
// The converted arguments in the database layer's terms. Text and bytes are viewed where they
// stand, not copied: the arguments must stay alive and unchanged while the values are bound.
LiteDbDarwinValues toBindValues(const flutter::ValueList& sqlArguments);
// The same straight from the call's "arguments" (absent, null or a list); only a list of integers
// is copied, into its bytes.
LiteDbDarwinValues toBindValues(const flutter::Value* arguments);

// A column of the current row: a 64-bit integer, a double, bytes (empty ones included), text, or
// null.
flutter::Value rsObjectForColumn(const LiteDbDarwinResultSet& resultSet, int index);
// The same read straight from a statement on a row, for an index known to be in range.
flutter::Value columnValue(sqlite3_stmt* statement, int index);

// One page of rows (LiteDbPage). With a page size
// the page ends once it holds that many rows (at least one); without one it holds every row.
// Building stops before the row that would pass the budget, which then counts as exceeded; what
// the page takes is deducted from it.
struct LiteDbResultPage {
  std::shared_ptr<LiteDbPage> page = std::make_shared<LiteDbPage>();
  // Set when a step failed; the page is then not an answer.
  std::optional<NSError> error;
};
LiteDbResultPage resultSetToResults(LiteDbDarwinResultSet& resultSet,
                                    std::optional<int64_t> cursorPageSize,
                                    LiteDbReplyBudget& budget);
// The same within a whole answer's budget.
LiteDbResultPage resultSetToResults(LiteDbDarwinResultSet& resultSet,
                                    std::optional<int64_t> cursorPageSize);

}  // namespace litedb
