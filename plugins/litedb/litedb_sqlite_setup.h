// How the process's SQLite is set up for the host, once, before its first use.
//
// Files. SQLite opens the database, its journals, its write-ahead log and index, temporary files,
// attached databases and VACUUM INTO targets itself, by name, with blocking opens, and resolves
// relative names against the working directory. Here every file SQLite's unix file system opens is
// opened without blocking and checked on that same descriptor before it is used: a regular file
// (or a directory, /dev/null or /dev/urandom for SQLite's own housekeeping), never a pipe, socket
// or other device; no name is checked first and opened after. The host's connections open through
// the "litedb" file system, which wraps the unix one and takes only regular files as database
// files. SQLite never learns the working directory, so a relative name fails to open.
//
// Writes are checked against the file-size limit (platform/foundation/sqlite_files.h), so that a
// database already past it stays readable and a change that cannot be made is rolled back.
//
// Memory. Memory-mapped I/O is off, so that a file cut short by another program is an I/O error,
// not a SIGBUS; and SQLite's heap has a hard limit, so that no statement can take the host's
// memory (an allocation past it fails the statement with "out of memory").
//
// These settings belong to the process's SQLite and so hold for every connection of the process.
#pragma once

#include <cstdint>

namespace litedb {

class LiteDbSqliteSetup {
 public:
  static constexpr int64_t kHeapLimitBytes = int64_t{1} << 30;

  // Sets SQLite up (the first time) and answers the name of the file system the host's
  // connections open with. The memory-mapping setting only takes before SQLite's first use;
  // a line is logged if it came too late.
  static const char* vfsName();
};

}  // namespace litedb
