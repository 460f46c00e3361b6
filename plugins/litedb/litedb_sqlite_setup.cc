#include "plugins/litedb/litedb_sqlite_setup.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <mutex>

#include "platform/foundation/ns_log.h"
#include "platform/foundation/sqlite_files.h"

namespace litedb {
namespace {

constexpr const char* kVfsName = "litedb";

// Set while the "litedb" file system opens a file for SQLite on this thread: a database file,
// which must be a regular file.
thread_local bool opening_database_file = false;

// The kernel's own file systems show their files as regular ones, but they hold no data of ours:
// a database there would read the kernel's text or write into its settings.
bool onKernelFileSystem(int fd) {
  struct statfs file_system {};
  if (::fstatfs(fd, &file_system) != 0) return true;
  switch (file_system.f_type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
      return true;
    default:
      return false;
  }
}

bool mayUse(int fd, const struct stat& status, int flags) {
  if (S_ISREG(status.st_mode)) return !onKernelFileSystem(fd);
  if (opening_database_file) return false;
  const bool reading = (flags & O_ACCMODE) == O_RDONLY && (flags & O_CREAT) == 0;
  // SQLite opens a journal's directory to sync it, /dev/urandom for its seed and /dev/null to
  // fill descriptors 0 to 2 when they are closed.
  if (S_ISDIR(status.st_mode)) return reading;
  return reading && S_ISCHR(status.st_mode) &&
         (status.st_rdev == makedev(1, 3) || status.st_rdev == makedev(1, 9));
}

// Takes the place of open(2) in SQLite's unix file system.
int openChecked(const char* path, int flags, int mode) {
  if (path == nullptr || path[0] != '/') {
    errno = ENOENT;
    return -1;
  }
  // Without O_NONBLOCK, opening a pipe waits for its other end.
  int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !mayUse(fd, status, flags)) {
    ::close(fd);
    errno = ENXIO;
    return -1;
  }
  if ((flags & O_NONBLOCK) == 0) {
    int current = ::fcntl(fd, F_GETFL);
    if (current < 0 || ::fcntl(fd, F_SETFL, current & ~O_NONBLOCK) < 0) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

// Takes the place of getcwd(3): SQLite resolves relative names against it, and the working
// directory is never the host's to read or write.
char* noWorkingDirectory(char* /*buffer*/, size_t /*size*/) {
  errno = EACCES;
  return nullptr;
}

// The "litedb" file system: the unix one, with database files opened under the strict check.
sqlite3_vfs* base(sqlite3_vfs* vfs) { return static_cast<sqlite3_vfs*>(vfs->pAppData); }

int openDatabaseFile(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags,
                     int* outFlags) {
  opening_database_file = true;
  int result = base(vfs)->xOpen(base(vfs), name, file, flags, outFlags);
  opening_database_file = false;
  return result;
}

int deleteFile(sqlite3_vfs* vfs, const char* name, int syncDirectory) {
  return base(vfs)->xDelete(base(vfs), name, syncDirectory);
}
int accessFile(sqlite3_vfs* vfs, const char* name, int flags, int* result) {
  return base(vfs)->xAccess(base(vfs), name, flags, result);
}
int fullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
  return base(vfs)->xFullPathname(base(vfs), name, size, out);
}
void* dlOpen(sqlite3_vfs* vfs, const char* name) { return base(vfs)->xDlOpen(base(vfs), name); }
void dlError(sqlite3_vfs* vfs, int size, char* message) {
  base(vfs)->xDlError(base(vfs), size, message);
}
void (*dlSym(sqlite3_vfs* vfs, void* library, const char* symbol))(void) {
  return base(vfs)->xDlSym(base(vfs), library, symbol);
}
void dlClose(sqlite3_vfs* vfs, void* library) { base(vfs)->xDlClose(base(vfs), library); }
int randomness(sqlite3_vfs* vfs, int size, char* out) {
  return base(vfs)->xRandomness(base(vfs), size, out);
}
int sleepFor(sqlite3_vfs* vfs, int microseconds) {
  return base(vfs)->xSleep(base(vfs), microseconds);
}
int currentTime(sqlite3_vfs* vfs, double* now) { return base(vfs)->xCurrentTime(base(vfs), now); }
int lastError(sqlite3_vfs* vfs, int size, char* message) {
  return base(vfs)->xGetLastError(base(vfs), size, message);
}
int currentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* now) {
  return base(vfs)->xCurrentTimeInt64(base(vfs), now);
}
int setSystemCall(sqlite3_vfs* vfs, const char* name, sqlite3_syscall_ptr call) {
  return base(vfs)->xSetSystemCall(base(vfs), name, call);
}
sqlite3_syscall_ptr getSystemCall(sqlite3_vfs* vfs, const char* name) {
  return base(vfs)->xGetSystemCall(base(vfs), name);
}
const char* nextSystemCall(sqlite3_vfs* vfs, const char* name) {
  return base(vfs)->xNextSystemCall(base(vfs), name);
}

void setUp() {
  // Memory mapping off (before SQLite initialises, which any SQLite call below would do) and
  // writes checked against the file-size limit, as for the process's other stores.
  foundation::setUpSqliteFiles();
  sqlite3_hard_heap_limit64(LiteDbSqliteSetup::kHeapLimitBytes);
  sqlite3_vfs* unix_vfs = sqlite3_vfs_find("unix");
  if (unix_vfs == nullptr || unix_vfs->iVersion < 3 ||
      unix_vfs->xSetSystemCall(unix_vfs, "open",
                               reinterpret_cast<sqlite3_syscall_ptr>(&openChecked)) != SQLITE_OK ||
      unix_vfs->xSetSystemCall(unix_vfs, "getcwd",
                               reinterpret_cast<sqlite3_syscall_ptr>(&noWorkingDirectory)) !=
          SQLITE_OK) {
    // Without the checked calls no connection is opened: the file system name below is unknown.
    NSLog("SQLite's unix file system cannot be given checked opens; databases will not open");
    return;
  }
  // Lives as long as the process: SQLite keeps a pointer to it.
  static sqlite3_vfs vfs{};
  vfs.iVersion = 3;
  vfs.szOsFile = unix_vfs->szOsFile;
  vfs.mxPathname = unix_vfs->mxPathname;
  vfs.zName = kVfsName;
  vfs.pAppData = unix_vfs;
  vfs.xOpen = openDatabaseFile;
  vfs.xDelete = deleteFile;
  vfs.xAccess = accessFile;
  vfs.xFullPathname = fullPathname;
  vfs.xDlOpen = dlOpen;
  vfs.xDlError = dlError;
  vfs.xDlSym = dlSym;
  vfs.xDlClose = dlClose;
  vfs.xRandomness = randomness;
  vfs.xSleep = sleepFor;
  vfs.xCurrentTime = currentTime;
  vfs.xGetLastError = lastError;
  vfs.xCurrentTimeInt64 = currentTimeInt64;
  vfs.xSetSystemCall = setSystemCall;
  vfs.xGetSystemCall = getSystemCall;
  vfs.xNextSystemCall = nextSystemCall;
  sqlite3_vfs_register(&vfs, 0);
}

}  // namespace

const char* LiteDbSqliteSetup::vfsName() {
  static std::once_flag once;
  std::call_once(once, setUp);
  return kVfsName;
}

}  // namespace litedb
