#include "plugins/litedb/litedb_darwin_statement.h"

#include <cstdio>

namespace litedb {

void LiteDbDarwinStatement::close() {
  if (statement_ != nullptr) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
  }
  in_use_ = false;
}

void LiteDbDarwinStatement::reset() {
  if (statement_ != nullptr) sqlite3_reset(statement_);
  in_use_ = false;
}

std::string LiteDbDarwinStatement::description() const {
  char self[64];
  std::snprintf(self, sizeof self, "<LiteDbDarwinStatement: %p>", static_cast<const void*>(this));
  return std::string(self) + " " + std::to_string(use_count_) + " hit(s) for query " + query_;
}

}  // namespace litedb
