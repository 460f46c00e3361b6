// An exclusive lock between processes on a lock file, held for as long as the object lives.
//
// flock(2) locks belong to an open file, so two locks taken in one process exclude each other as
// well, and a process that dies (even by SIGKILL) releases its locks with its descriptors. Lock
// files are never removed: a removed one could be locked by one process while another creates
// and locks its successor.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace foundation {

class FileLock {
 public:
  // Locks the file at `path` (created with mode 0600 when missing), waiting at most `wait` for
  // another holder. nullopt when it cannot be opened, is not a regular file, or stays held; then
  // `cause` (when given) is EWOULDBLOCK for a lock that stayed held, ENXIO for a lock file that is
  // not a regular file, and the system's errno otherwise.
  static std::optional<FileLock> acquire(const std::string& path, std::chrono::milliseconds wait,
                                         int* cause = nullptr);

  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

 private:
  explicit FileLock(int fd) : fd_(fd) {}

  int fd_ = -1;
};

}  // namespace foundation
