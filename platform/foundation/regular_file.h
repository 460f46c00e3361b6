// Opening files named by someone else (a caller, a page, a stored path) without trusting them.
//
// Only a regular file is opened, and neither opening nor reading ever blocks: a FIFO, a device, a
// socket or a directory is refused before anything is read, a file larger than the caller's limit
// is refused before anything is allocated, and the descriptor stays non-blocking, so a file that
// stats as regular but would make its reader wait (/proc/kmsg) fails to read at once. Reading
// takes no more than the size the file had when opened: one that holds more (a kernel file that
// says 0, a file that grew) is refused as too large.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace foundation {

enum class RegularFileError {
  kNotFound,    // nothing at the path (or a path component is missing)
  kNotRegular,  // a directory, FIFO, device or socket
  kTooLarge,    // larger than the limit the caller gave, or than the file said when opened
  kUnreadable,  // "not now" (system_error.h): a limit, a permission, an I/O error, a read that
                // would block
};
// On every failure below errno tells the system's cause, or is 0 where the file itself was
// refused (not regular, too large).

// A short English text for an error, for log lines and error messages.
const char* describe(RegularFileError error);

// What tells one version of a file from another without reading it: a file replaced by a rename
// is another inode, and one changed in place has another size or change time.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  // Modification and status-change times, in nanoseconds since the epoch.
  int64_t modified = 0;
  int64_t changed = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file open on `fd`; nullopt when fstat fails.
std::optional<FileIdentity> identityOf(int fd);

// An open, read-only descriptor of a regular file; closed when destroyed.
class RegularFile {
 public:
  // Opens `path` if it is a regular file of at most `maxBytes` bytes.
  static std::optional<RegularFile> open(const std::string& path, uint64_t maxBytes,
                                         RegularFileError* error = nullptr);

  RegularFile(RegularFile&& other) noexcept;
  RegularFile& operator=(RegularFile&& other) noexcept;
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;
  ~RegularFile();

  int fd() const { return fd_; }
  // The size when the file was opened.
  uint64_t size() const { return size_; }
  // The file's identity now.
  std::optional<FileIdentity> identity() const { return identityOf(fd_); }
  // Reads the whole file from its start, never more than its size or the limit it was opened with.
  std::optional<std::vector<uint8_t>> readAll(RegularFileError* error = nullptr) const;

 private:
  RegularFile(int fd, uint64_t size, uint64_t maxBytes)
      : fd_(fd), size_(size), max_bytes_(maxBytes) {}

  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t max_bytes_ = 0;
};

// Opens and reads a regular file of at most `maxBytes` bytes in one call.
std::optional<std::vector<uint8_t>> readRegularFile(const std::string& path, uint64_t maxBytes,
                                                    RegularFileError* error = nullptr);

}  // namespace foundation
