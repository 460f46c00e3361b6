#include "platform/foundation/durable_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/foundation/testing/foundation_controls.h"
#include "platform/system/unique_fd.h"

namespace foundation {
namespace {

using libsystem::UniqueFd;
using testing::FileSystemFault;
using testing::takeFileSystemFault;

constexpr std::string_view kTemporaryTag = ".tmp";
constexpr std::string_view kEarlierTemporaryTag = ".tmp-";
constexpr size_t kRandomLength = 6;  // what mkstemp fills in

// The system's calls, or the answer a test asked for.
ssize_t writeSome(int fd, const uint8_t* data, size_t size) {
  if (takeFileSystemFault(FileSystemFault::kInterruptedWrite)) {
    errno = EINTR;
    return -1;
  }
  if (takeFileSystemFault(FileSystemFault::kShortWrite)) size = std::min<size_t>(size, 1);
  return ::write(fd, data, size);
}

int openDirectory(const std::string& path) {
  if (takeFileSystemFault(FileSystemFault::kDirectoryOpen)) {
    errno = EACCES;
    return -1;
  }
  return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool syncDirectory(const UniqueFd& directory) {
  if (takeFileSystemFault(FileSystemFault::kDirectorySync)) {
    errno = EIO;
    return false;
  }
  return ::fsync(directory.get()) == 0;
}

std::string parentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Exactly what mkstemp puts in place of its six X: letters and digits.
bool isRandomPart(std::string_view text) {
  return text.size() == kRandomLength && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

bool isTemporaryOf(std::string_view candidate, std::string_view prefix) {
  return candidate.starts_with(prefix) && isRandomPart(candidate.substr(prefix.size()));
}

}  // namespace

bool writeAll(int fd, std::span<const uint8_t> bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    ssize_t count = writeSome(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    // A regular file that takes nothing is as full as one that fails.
    if (count == 0) errno = ENOSPC;
    if (count <= 0) return false;
    written += static_cast<size_t>(count);
  }
  return true;
}

bool makeDirectories(const std::string& path, mode_t mode) {
  std::filesystem::path current;
  for (const auto& part : std::filesystem::path(path)) {
    current /= part;
    if (::mkdir(current.c_str(), mode) == 0) {
      // A new directory is durable once its parent is.
      UniqueFd parent(openDirectory(parentOf(current.string())));
      if (!parent || !syncDirectory(parent)) return false;
    } else if (errno != EEXIST) {
      return false;
    }
  }
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::optional<FileIdentity> replaceFile(const std::string& path, std::span<const uint8_t> bytes) {
  const std::string directory_path = parentOf(path);
  std::string temporary = directory_path + "/." + nameOf(path) + std::string(kTemporaryTag) +
                          std::string(kRandomLength, 'X');
  UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!file) return std::nullopt;
  // The lock tells a sweeper in another process that this temporary is still being written; it
  // is held until the rename, so no sweeper can take the temporary away in between.
  bool ok = ::flock(file.get(), LOCK_EX) == 0 && writeAll(file.get(), bytes) &&
            ::fchmod(file.get(), 0600) == 0 && ::fsync(file.get()) == 0;
  if (ok && testing::takePropertyListWriteFault()) {
    errno = EIO;
    ok = false;
  }
  // Opened before the rename, so that a directory that cannot be flushed is found while nothing
  // has changed yet.
  UniqueFd directory(ok ? openDirectory(directory_path) : -1);
  ok = ok && directory && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    const int cause = errno;
    ::unlink(temporary.c_str());
    errno = cause;
    return std::nullopt;
  }
  std::optional<FileIdentity> identity = identityOf(file.get());
  // The rename itself is durable only once the directory is.
  if (!syncDirectory(directory)) return std::nullopt;
  return identity;
}

bool renameFile(const std::string& from, const std::string& to) {
  UniqueFd directory(openDirectory(parentOf(to)));
  if (!directory) return false;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    // A file system without the flag: the caller chose a name that was free a moment ago.
    if (errno != EINVAL || std::rename(from.c_str(), to.c_str()) != 0) return false;
  }
  return syncDirectory(directory);
}

bool removeFile(const std::string& path) {
  UniqueFd directory(openDirectory(parentOf(path)));
  if (!directory) return false;
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  return syncDirectory(directory);
}

void removeStaleTemporaries(const std::string& path) {
  const std::string name = nameOf(path);
  const std::string current = "." + name + std::string(kTemporaryTag);
  const std::string earlier = name + std::string(kEarlierTemporaryTag);
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(parentOf(path), error)) {
    const std::string candidate = entry.path().filename().string();
    if (!isTemporaryOf(candidate, current) && !isTemporaryOf(candidate, earlier)) continue;
    UniqueFd temporary(
        ::open(entry.path().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (!temporary) continue;
    struct stat status {};
    if (::fstat(temporary.get(), &status) == 0 && S_ISREG(status.st_mode) &&
        ::flock(temporary.get(), LOCK_EX | LOCK_NB) == 0) {
      ::unlink(entry.path().c_str());
    }
  }
}

}  // namespace foundation
