#include "platform/foundation/sqlite_files.h"

#include <errno.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/foundation/ns_log.h"
#include "platform/foundation/sqlite_checked_opens.h"

namespace foundation {
namespace {

thread_local int last_write_error = 0;

off_t fileSizeLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return std::numeric_limits<off_t>::max();
  }
  return static_cast<off_t>(
      std::min<rlim_t>(limit.rlim_cur, static_cast<rlim_t>(std::numeric_limits<off_t>::max())));
}

// Whether the file holds exactly `size` bytes of `data` at `offset`.
bool fileHolds(int fd, const char* data, size_t size, off_t offset) {
  std::array<char, 4096> buffer;
  while (size > 0) {
    ssize_t got = ::pread(fd, buffer.data(), std::min(size, buffer.size()), offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || std::memcmp(buffer.data(), data, static_cast<size_t>(got)) != 0) return false;
    data += got;
    size -= static_cast<size_t>(got);
    offset += got;
  }
  return true;
}

ssize_t failWith(int error) {
  last_write_error = error;
  errno = error;
  return -1;
}

// The connections' file system: the unix one, with every file it opens for them under the
// strict check.
sqlite3_vfs* base(sqlite3_vfs* vfs) { return static_cast<sqlite3_vfs*>(vfs->pAppData); }

int openConnectionFile(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags,
                       int* outFlags) {
  sqlite_opens::setStrictName(name, (flags & SQLITE_OPEN_MAIN_DB) != 0);
  int result = base(vfs)->xOpen(base(vfs), name, file, flags, outFlags);
  sqlite_opens::setStrictName(nullptr, false);
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

void registerConnectionFileSystem(sqlite3_vfs* unix_vfs) {
  // Lives as long as the process: SQLite keeps a pointer to it.
  static sqlite3_vfs vfs{};
  vfs.iVersion = 3;
  vfs.szOsFile = unix_vfs->szOsFile;
  vfs.mxPathname = unix_vfs->mxPathname;
  vfs.zName = kSqliteFileSystem;
  vfs.pAppData = unix_vfs;
  vfs.xOpen = openConnectionFile;
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

bool replace(sqlite3_vfs* unix_vfs, const char* name, sqlite3_syscall_ptr call) {
  return unix_vfs->xGetSystemCall(unix_vfs, name) != nullptr &&
         unix_vfs->xSetSystemCall(unix_vfs, name, call) == SQLITE_OK;
}

bool setUp() {
  if (sqlite3_config(SQLITE_CONFIG_MMAP_SIZE, sqlite3_int64{0}, sqlite3_int64{0}) != SQLITE_OK) {
    NSLog("SQLite was in use before the stores set it up: memory-mapped I/O stays as it was");
  }
  sqlite3_vfs* unix_vfs = sqlite3_vfs_find("unix");
  if (unix_vfs == nullptr || unix_vfs->iVersion < 3) {
    NSLog("SQLite's unix file system cannot be given checked calls; its files will not open");
    return false;
  }
  auto checked_write = reinterpret_cast<sqlite3_syscall_ptr>(&writeWithinFileSizeLimit);
  // SQLite uses whichever of the two it was built with; the other is absent.
  bool writes_checked = replace(unix_vfs, "pwrite64", checked_write);
  writes_checked = replace(unix_vfs, "pwrite", checked_write) || writes_checked;
  if (!writes_checked) NSLog("SQLite's writes cannot be checked against the file-size limit");
  if (!replace(unix_vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(&sqlite_opens::open)) ||
      !replace(unix_vfs, "unlink", reinterpret_cast<sqlite3_syscall_ptr>(&sqlite_opens::unlink)) ||
      !replace(unix_vfs, "getcwd", reinterpret_cast<sqlite3_syscall_ptr>(&sqlite_opens::getcwd))) {
    // Without the checked opens no connection is opened: its file system is not registered.
    NSLog("SQLite's unix file system cannot be given checked opens; its files will not open");
    return false;
  }
  registerConnectionFileSystem(unix_vfs);
  return writes_checked;
}

}  // namespace

ssize_t writeWithinFileSizeLimit(int fd, const void* data, size_t size, off_t offset) {
  if (offset < 0) return failWith(EINVAL);
  const auto* bytes = static_cast<const char*>(data);
  const off_t limit = fileSizeLimit();
  size_t within = size;
  if (offset >= limit) {
    within = 0;
  } else if (size > static_cast<size_t>(limit - offset)) {
    within = static_cast<size_t>(limit - offset);
  }
  if (within < size &&
      !fileHolds(fd, bytes + within, size - within, offset + static_cast<off_t>(within))) {
    return failWith(EFBIG);
  }
  if (within == 0) return static_cast<ssize_t>(size);
  ssize_t written;
  do {
    written = ::pwrite(fd, bytes, within, offset);
  } while (written < 0 && errno == EINTR);
  if (written < 0) return failWith(errno);
  // What lies past the limit is already there.
  return static_cast<size_t>(written) == within ? static_cast<ssize_t>(size) : written;
}

bool setUpSqliteFiles() {
  static const bool installed = setUp();
  return installed;
}

int takeSqliteWriteError() { return std::exchange(last_write_error, 0); }

}  // namespace foundation
