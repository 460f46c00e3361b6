#include "platform/foundation/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include "platform/foundation/file_system_path.h"

namespace foundation {

namespace {

std::nullopt_t failure(int* out, int cause) {
  if (out != nullptr) *out = cause;
  return std::nullopt;
}

}  // namespace

std::optional<FileLock> FileLock::acquire(const std::string& path, std::chrono::milliseconds wait,
                                          int* cause) {
  if (!isFileSystemPath(path)) return failure(cause, ENOENT);
  // Never through a link, and never waiting on a FIFO or a device put in its place.
  int fd =
      ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) return failure(cause, errno);
  FileLock lock(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0) return failure(cause, errno);
  if (!S_ISREG(status.st_mode)) return failure(cause, ENXIO);

  // Holders keep a lock for one read and one write of a file; a holder that is stopped or stuck
  // must not stop this process with it, so the wait is polled to its bound.
  const auto deadline = std::chrono::steady_clock::now() + wait;
  auto pause = std::chrono::milliseconds(1);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      return failure(cause, errno);
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(8));
  }
  return lock;
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace foundation
