// Turns a printf-like statement format into SQL text with "?" placeholders and the values to
// bind, one value per conversion, taken in order from `arguments`.
#pragma once

#include <string>

#include "plugins/litedb/litedb_darwin_value.h"

namespace litedb {

struct LiteDbDarwinFormattedStatement {
  std::string sql;
  LiteDbDarwinValues values;
};

// %@ takes the value as it is (the null marker writes NULL into the SQL and binds nothing); %c,
// %s, %d/%D/%i, %u/%U, %hi/%hu, %qi/%qu, %ld/%lu, %lld/%llu, %f and %g convert the next value to
// that C type; %% is one '%'; any other character after '%' is copied.
LiteDbDarwinFormattedStatement formatStatement(const std::string& format,
                                               const LiteDbDarwinValues& arguments);

}  // namespace litedb
