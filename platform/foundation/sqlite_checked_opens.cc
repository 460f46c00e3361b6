#include "platform/foundation/sqlite_checked_opens.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "platform/foundation/sqlite_files.h"
#include "platform/foundation/system_error.h"

namespace foundation {
namespace {

thread_local const char* strict_name = nullptr;
thread_local bool strict_name_may_have_other_names = false;
thread_local std::optional<SqliteOpenFailure> last_open_failure;

int fail(const char* path, int error, std::string problem) {
  last_open_failure = SqliteOpenFailure{path != nullptr ? path : "", error, std::move(problem)};
  errno = error;
  return -1;
}

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISLNK(mode)) return "a link";
  return "not a file";
}

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

// Why SQLite may not use what `fd` opened, or nullopt when it may.
std::optional<std::string> refusal(const char* path, int fd, const struct stat& status,
                                   int flags) {
  const bool strict = strict_name != nullptr && std::strcmp(path, strict_name) == 0;
  if (S_ISREG(status.st_mode)) {
    if (onKernelFileSystem(fd)) return "is on one of the kernel's own file systems";
    // A journal, log or index with a second name (a hard link) is another file as well: SQLite
    // would write into it. A database with several names is the user's own doing, and used.
    if (status.st_nlink > 1 && !(strict && strict_name_may_have_other_names)) {
      return "has another name (" + std::to_string(status.st_nlink) +
             " hard links): it is another file as well";
    }
    return std::nullopt;
  }
  const std::string not_a_file = std::string("is not a regular file (") +
                                 kindOf(status.st_mode) + ")";
  if (strict) return not_a_file;
  const bool reading = (flags & O_ACCMODE) == O_RDONLY && (flags & O_CREAT) == 0;
  // SQLite opens a journal's directory to sync it, /dev/urandom for its seed and /dev/null to
  // fill descriptors 0 to 2 when they are closed.
  if (reading && S_ISDIR(status.st_mode)) return std::nullopt;
  if (reading && S_ISCHR(status.st_mode) &&
      (status.st_rdev == makedev(1, 3) || status.st_rdev == makedev(1, 9))) {
    return std::nullopt;
  }
  return not_a_file;
}

}  // namespace

std::optional<SqliteOpenFailure> takeSqliteOpenFailure() {
  return std::exchange(last_open_failure, std::nullopt);
}

namespace sqlite_opens {

int open(const char* path, int flags, int mode) {
  if (path == nullptr || path[0] != '/') return fail(path, ENOENT, "is not an absolute name");
  // Without O_NONBLOCK, opening a pipe waits for its other end.
  int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) {
    const int error = errno;
    if (error == EISDIR) return fail(path, error, "is not a regular file (a directory)");
    return fail(path, error, "could not be opened: " + describeSystemError(error));
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    const int error = errno;
    ::close(fd);
    return fail(path, error, "could not be opened: " + describeSystemError(error));
  }
  if (auto refused = refusal(path, fd, status, flags)) {
    ::close(fd);
    return fail(path, ENXIO, std::move(*refused));
  }
  if ((flags & O_NONBLOCK) == 0) {
    int current = ::fcntl(fd, F_GETFL);
    if (current < 0 || ::fcntl(fd, F_SETFL, current & ~O_NONBLOCK) < 0) {
      const int error = errno;
      ::close(fd);
      return fail(path, error, "could not be opened: " + describeSystemError(error));
    }
  }
  return fd;
}

int unlink(const char* path) {
  struct stat status {};
  if (::lstat(path, &status) == 0 && !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
    errno = S_ISDIR(status.st_mode) ? EISDIR : EPERM;
    return -1;
  }
  return ::unlink(path);
}

char* getcwd(char* /*buffer*/, size_t /*size*/) {
  errno = EACCES;
  return nullptr;
}

void setStrictName(const char* name, bool mayHaveOtherNames) {
  strict_name = name;
  strict_name_may_have_other_names = name != nullptr && mayHaveOtherNames;
}

}  // namespace sqlite_opens
}  // namespace foundation
