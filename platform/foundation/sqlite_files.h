// How SQLite opens, removes and writes files, for every store of the process that uses SQLite
// (the database plug-in and the keychain). These are settings of the process's SQLite, made once.
//
// Opens. SQLite opens the database, its journals, its write-ahead log and index, temporary files,
// attached databases and VACUUM INTO targets itself, by name, with blocking opens. Here every file
// SQLite's unix file system opens is opened without blocking and checked on that same descriptor
// before it is used: a regular file (or a directory, /dev/null or /dev/urandom for SQLite's own
// housekeeping), never a pipe, socket or other device, nor a file of the kernel's proc or sys
// file systems; no name is checked first and opened after. Connections open through the
// `kSqliteFileSystem` file system, which wraps the unix one and takes only regular files for
// every file it opens for them (the database, its journals, temporary files). A journal, write-
// ahead log or its index with a second name (a hard link, as "cp -al" backups leave) is refused
// too: SQLite would write into the other file. A database with several names is used: that is
// the user's own doing, and its changes are meant for every name. SQLite never learns
// the working directory, so a relative name fails to open. SQLite removes only regular files and
// links: a FIFO it takes for a stale journal is left.
//
// Writes. The file-size limit (RLIMIT_FSIZE) is checked by the system against the offset of a
// write, not the file's size: in a file already larger than the limit, rewriting a page past it
// fails, and a page across it is written in part. SQLite, rolling such a change back, then cannot
// restore that page; its journal stays hot and every later call, reads included, fails. Here a
// write that would pass the limit is made only when the file already holds the bytes past the
// limit (so rolling back a change that never reached them succeeds); otherwise it fails with
// EFBIG, having written nothing. The process never gets SIGXFSZ from these writes.
//
// Memory-mapped I/O is off, so that a file cut short by another program is an I/O error, not a
// SIGBUS.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

namespace foundation {

// The name of the file system connections open with.
inline constexpr const char* kSqliteFileSystem = "checked";

// Sets SQLite up as described above, the first time; answers whether every check is in place.
// Memory mapping can only be turned off before SQLite's first use; a line is logged if it came
// too late. Without the checked opens the file system above is not there, and no connection opens.
bool setUpSqliteFiles();

// pwrite(2) within the file-size limit, as described above.
ssize_t writeWithinFileSizeLimit(int fd, const void* data, size_t size, off_t offset);

// The errno of this thread's last failed write through SQLite since the last call, or 0; SQLite
// does not keep it for a full disk or a file-size limit.
int takeSqliteWriteError();

// A file SQLite could not open, or was refused: its path, the errno SQLite was given, and what
// was wrong, such as "is not a regular file (a FIFO)" or "could not be opened: Too many open
// files (EMFILE)". SQLite keeps neither the name nor the reason.
struct SqliteOpenFailure {
  std::string path;
  int error = 0;
  std::string problem;
};

// This thread's last failed open through SQLite since the last call.
std::optional<SqliteOpenFailure> takeSqliteOpenFailure();

}  // namespace foundation
