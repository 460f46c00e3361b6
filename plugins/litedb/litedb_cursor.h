// A query's result set kept open between pages. Dropping the cursor closes the result set, which
// must happen before its connection closes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/flutter/value.h"
#include "plugins/litedb/litedb_darwin_result_set.h"

namespace litedb {

struct LiteDbCursor {
  LiteDbCursor(int32_t id, int64_t size, std::shared_ptr<LiteDbDarwinResultSet> set,
               std::string statement, flutter::ValueList statementArguments)
      : cursorId(id),
        pageSize(size),
        resultSet(std::move(set)),
        sql(std::move(statement)),
        arguments(std::move(statementArguments)) {}
  ~LiteDbCursor() {
    if (resultSet) resultSet->close();
  }
  LiteDbCursor(const LiteDbCursor&) = delete;
  LiteDbCursor& operator=(const LiteDbCursor&) = delete;

  int32_t cursorId;
  int64_t pageSize;
  std::shared_ptr<LiteDbDarwinResultSet> resultSet;
  // The query behind the cursor, for the details of an error on a later page.
  std::string sql;
  flutter::ValueList arguments;
};

}  // namespace litedb
