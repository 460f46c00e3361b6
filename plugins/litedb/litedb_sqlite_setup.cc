#include "plugins/litedb/litedb_sqlite_setup.h"

#include <sqlite3.h>

#include <mutex>

#include "platform/foundation/sqlite_files.h"

namespace litedb {

const char* LiteDbSqliteSetup::vfsName() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Files first: memory mapping is turned off before SQLite initialises.
    foundation::setUpSqliteFiles();
    sqlite3_hard_heap_limit64(kHeapLimitBytes);
  });
  return foundation::kSqliteFileSystem;
}

}  // namespace litedb
