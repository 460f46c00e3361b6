// One prepared statement and its bookkeeping: the SQL it is cached under, how many result sets
// were made on it, and whether a live result set is reading it. Destroying it finalizes it.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace litedb {

class LiteDbDarwinStatement {
 public:
  explicit LiteDbDarwinStatement(sqlite3_stmt* statement) : statement_(statement) {}
  ~LiteDbDarwinStatement() { close(); }
  LiteDbDarwinStatement(const LiteDbDarwinStatement&) = delete;
  LiteDbDarwinStatement& operator=(const LiteDbDarwinStatement&) = delete;

  // Null once finalized.
  sqlite3_stmt* statement() const { return statement_; }
  const std::string& query() const { return query_; }
  void setQuery(std::string query) { query_ = std::move(query); }
  int64_t useCount() const { return use_count_; }
  void setUseCount(int64_t count) { use_count_ = count; }
  bool inUse() const { return in_use_; }
  void setInUse(bool inUse) { in_use_ = inUse; }

  // Finalizes the statement.
  void close();
  // Makes it ready to run again, keeping its bindings.
  void reset();

  std::string description() const;

 private:
  sqlite3_stmt* statement_;
  std::string query_;
  int64_t use_count_ = 0;
  bool in_use_ = false;
};

}  // namespace litedb
