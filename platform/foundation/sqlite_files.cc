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

bool setUp() {
  if (sqlite3_config(SQLITE_CONFIG_MMAP_SIZE, sqlite3_int64{0}, sqlite3_int64{0}) != SQLITE_OK) {
    NSLog("SQLite was in use before the stores set it up: memory-mapped I/O stays as it was");
  }
  sqlite3_vfs* unix_vfs = sqlite3_vfs_find("unix");
  if (unix_vfs == nullptr || unix_vfs->iVersion < 3) return false;
  auto checked = reinterpret_cast<sqlite3_syscall_ptr>(&writeWithinFileSizeLimit);
  // SQLite uses whichever of the two it was built with; the other is absent.
  bool installed = false;
  for (const char* name : {"pwrite64", "pwrite"}) {
    if (unix_vfs->xGetSystemCall(unix_vfs, name) != nullptr &&
        unix_vfs->xSetSystemCall(unix_vfs, name, checked) == SQLITE_OK) {
      installed = true;
    }
  }
  if (!installed) NSLog("SQLite's writes cannot be checked against the file-size limit");
  return installed;
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
