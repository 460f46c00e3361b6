#include "platform/foundation/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/foundation/file_system_path.h"
#include "platform/foundation/system_error.h"

namespace foundation {
namespace {

void report(RegularFileError* out, RegularFileError error) {
  if (out != nullptr) *out = error;
}

RegularFileError errorForErrno(int error) {
  switch (classifySystemError(error)) {
    case SystemErrorClass::kAbsent:
      return RegularFileError::kNotFound;
    case SystemErrorClass::kNotAFile:
      return RegularFileError::kNotRegular;
    default:
      return RegularFileError::kUnreadable;
  }
}

// Closes `fd` and leaves errno as `error` (0 for a failure that is not the system's).
void closeKeeping(int fd, int error) {
  ::close(fd);
  errno = error;
}

}  // namespace

const char* describe(RegularFileError error) {
  switch (error) {
    case RegularFileError::kNotFound:
      return "no such file";
    case RegularFileError::kNotRegular:
      return "not a regular file";
    case RegularFileError::kTooLarge:
      return "file is too large";
    case RegularFileError::kUnreadable:
      return "file cannot be read";
  }
  return "file cannot be read";
}

std::optional<FileIdentity> identityOf(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  auto nanoseconds = [](const timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
  };
  return FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
                      static_cast<uint64_t>(status.st_size), nanoseconds(status.st_mtim),
                      nanoseconds(status.st_ctim)};
}

std::optional<RegularFile> RegularFile::open(const std::string& path, uint64_t maxBytes,
                                             RegularFileError* error) {
  if (!isFileSystemPath(path)) {
    errno = ENOENT;
    report(error, RegularFileError::kNotFound);
    return std::nullopt;
  }
  // O_NONBLOCK: opening a FIFO with no writer must not wait for one.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    report(error, errorForErrno(errno));
    return std::nullopt;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    int saved = errno;
    closeKeeping(fd, saved);
    report(error, errorForErrno(saved));
    return std::nullopt;
  }
  if (!S_ISREG(status.st_mode)) {
    closeKeeping(fd, 0);
    report(error, RegularFileError::kNotRegular);
    return std::nullopt;
  }
  if (status.st_size < 0 || static_cast<uint64_t>(status.st_size) > maxBytes) {
    closeKeeping(fd, 0);
    report(error, RegularFileError::kTooLarge);
    return std::nullopt;
  }
  // The flag stays: a file can stat as regular and still block its reader (/proc/kmsg), and
  // then its read fails with EAGAIN instead. Reads of true files do not notice it.
  return RegularFile(fd, static_cast<uint64_t>(status.st_size), maxBytes);
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), max_bytes_(other.max_bytes_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
    max_bytes_ = other.max_bytes_;
  }
  return *this;
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::vector<uint8_t>> RegularFile::readAll(RegularFileError* error) const {
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(size_));
  uint8_t buffer[64 * 1024];
  off_t offset = 0;
  for (;;) {
    // One byte past the size is enough to tell a file holds more than it said.
    const size_t wanted = std::min(sizeof buffer, static_cast<size_t>(size_ - bytes.size()) + 1);
    ssize_t count = ::pread(fd_, buffer, wanted, offset);
    if (count < 0) {
      if (errno == EINTR) continue;
      // EAGAIN included: what would block is a failure to read.
      report(error, RegularFileError::kUnreadable);
      return std::nullopt;
    }
    if (count == 0) break;
    // No more than the size fstat gave: the kernel's files say 0 and may never end
    // (/proc/self/pagemap), and a file that grew since is not the one that was measured.
    if (bytes.size() + static_cast<size_t>(count) > size_ ||
        bytes.size() + static_cast<size_t>(count) > max_bytes_) {
      errno = 0;
      report(error, RegularFileError::kTooLarge);
      return std::nullopt;
    }
    bytes.insert(bytes.end(), buffer, buffer + count);
    offset += count;
  }
  return bytes;
}

std::optional<std::vector<uint8_t>> readRegularFile(const std::string& path, uint64_t maxBytes,
                                                    RegularFileError* error) {
  auto file = RegularFile::open(path, maxBytes, error);
  if (!file) return std::nullopt;
  return file->readAll(error);
}

}  // namespace foundation
