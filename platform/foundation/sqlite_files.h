// How SQLite's unix file system writes, for every store of the process that uses SQLite.
//
// The file-size limit (RLIMIT_FSIZE) is checked by the system against the offset of a write, not
// the file's size: in a file already larger than the limit, rewriting a page past it fails, and a
// page across it is written in part. SQLite, rolling such a change back, then cannot restore that
// page; its journal stays hot and every later call, reads included, fails. Here a write that would
// pass the limit is made only when the file already holds the bytes past the limit (so rolling
// back a change that never reached them succeeds); otherwise it fails with EFBIG, having written
// nothing. The process never gets SIGXFSZ from these writes.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace foundation {

// Installs the checked write in SQLite's "unix" file system (and so in every file system that
// wraps it), once for the process; memory-mapped I/O is turned off first, while that still takes
// (a file cut short by another program is then an I/O error, not a SIGBUS). Answers whether
// writes are checked.
bool setUpSqliteFiles();

// pwrite(2) within the file-size limit, as described above.
ssize_t writeWithinFileSizeLimit(int fd, const void* data, size_t size, off_t offset);

// The errno of this thread's last failed write through SQLite since the last call, or 0; SQLite
// does not keep it for a full disk or a file-size limit.
int takeSqliteWriteError();

}  // namespace foundation
