// How the process's SQLite is set up for the host, once, before its first use.
//
// Files: as for every store of the process (platform/foundation/sqlite_files.h). Every file
// SQLite opens is checked on the descriptor it opened: a regular file for the connection's own
// files (the database, its journals, write-ahead log and index, temporary files, attached
// databases, VACUUM INTO targets), never a pipe, socket or other device; relative names fail to
// open; writes are checked against the file-size limit; memory-mapped I/O is off.
//
// Memory: SQLite's heap has a hard limit, so that no statement can take the host's memory (an
// allocation past it fails the statement with "out of memory").
//
// These settings belong to the process's SQLite and so hold for every connection of the process.
#pragma once

#include <cstdint>

namespace litedb {

class LiteDbSqliteSetup {
 public:
  static constexpr int64_t kHeapLimitBytes = int64_t{1} << 30;

  // Sets SQLite up (the first time) and answers the name of the file system the host's
  // connections open with.
  static const char* vfsName();
};

}  // namespace litedb
