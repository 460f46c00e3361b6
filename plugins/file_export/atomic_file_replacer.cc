#include "plugins/file_export/atomic_file_replacer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/foundation/regular_file.h"
#include "platform/system/unique_fd.h"

namespace file_export {
namespace {

namespace fs = std::filesystem;
using libsystem::UniqueFd;

// A temporary item beside the target that is removed unless it was moved into place.
class TemporaryItem {
 public:
  explicit TemporaryItem(const fs::path& target) {
    path_ = target.parent_path() / ("." + target.filename().string() + ".saving-XXXXXX");
  }
  ~TemporaryItem() {
    if (!path_.empty()) {
      std::error_code ignored;
      fs::remove_all(path_, ignored);
    }
  }
  TemporaryItem(const TemporaryItem&) = delete;
  TemporaryItem& operator=(const TemporaryItem&) = delete;

  // Creates the file; -1 on failure.
  int createFile() {
    std::string pattern = path_.string();
    int fd = ::mkstemp(pattern.data());
    path_ = fd >= 0 ? fs::path(pattern) : fs::path();
    return fd;
  }
  bool createDirectory() {
    std::string pattern = path_.string();
    bool made = ::mkdtemp(pattern.data()) != nullptr;
    path_ = made ? fs::path(pattern) : fs::path();
    return made;
  }
  const fs::path& path() const { return path_; }
  void release() { path_.clear(); }

 private:
  fs::path path_;
};

bool writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool syncDirectory(const fs::path& directory) {
  UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

// Copies the regular file at `source` into `fd`, taking its size from `budget`. The source is
// opened without waiting (a FIFO or device is refused first), and a file that grows past the
// budget while it is read fails the copy.
bool copyFileInto(const fs::path& source, int fd, uint64_t& budget) {
  auto file = foundation::RegularFile::open(source.string(), budget);
  if (!file) return false;
  uint8_t buffer[64 * 1024];
  off_t offset = 0;
  for (;;) {
    ssize_t count = ::pread(file->fd(), buffer, sizeof buffer, offset);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    if (count == 0) return true;
    if (static_cast<uint64_t>(count) > budget) return false;
    budget -= static_cast<uint64_t>(count);
    if (!writeAll(fd, buffer, static_cast<size_t>(count))) return false;
    offset += count;
  }
}

// Copies the folder `source` into the existing folder `destination`, item by item: folders,
// regular files (with their permissions) and symbolic links as links. Anything else fails.
bool copyFolder(const fs::path& source, const fs::path& destination, uint64_t& budget) {
  std::error_code error;
  fs::recursive_directory_iterator item(source, error), end;
  for (; !error && item != end; item.increment(error)) {
    // Saving a folder inside itself: the copy being made is not copied again.
    if (item->path() == destination) {
      item.disable_recursion_pending();
      continue;
    }
    // Lexically: resolving would follow the links this copy keeps as links.
    fs::path copy = destination / item->path().lexically_relative(source);
    fs::file_status status = item->symlink_status(error);
    if (error) return false;
    if (fs::is_symlink(status)) {
      fs::copy_symlink(item->path(), copy, error);
    } else if (fs::is_directory(status)) {
      fs::create_directory(copy, item->path(), error);
    } else if (fs::is_regular_file(status)) {
      UniqueFd fd(::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                         static_cast<mode_t>(status.permissions() & fs::perms::mask)));
      if (fd.get() < 0 || !copyFileInto(item->path(), fd.get(), budget) || !fd.close()) {
        return false;
      }
    } else {
      return false;
    }
    if (error) return false;
  }
  return !error;
}

// Renames the prepared item over the target. A directory on either side cannot be renamed over
// in one step: the old item is set aside first and put back if the rename fails.
bool moveIntoPlace(TemporaryItem& prepared, const fs::path& target) {
  std::error_code error;
  bool directoryInvolved = fs::is_directory(prepared.path(), error) ||
                           fs::is_directory(fs::symlink_status(target, error));
  if (!directoryInvolved || !fs::exists(fs::symlink_status(target, error))) {
    if (::rename(prepared.path().c_str(), target.c_str()) != 0) return false;
    prepared.release();
    syncDirectory(target.parent_path());
    return true;
  }
  TemporaryItem aside(target);
  if (!aside.createDirectory()) return false;
  fs::path backup = aside.path() / "previous";
  if (::rename(target.c_str(), backup.c_str()) != 0) return false;
  if (::rename(prepared.path().c_str(), target.c_str()) != 0) {
    ::rename(backup.c_str(), target.c_str());
    return false;
  }
  prepared.release();
  syncDirectory(target.parent_path());
  return true;
}

// A new file gets the permissions of the file it replaces, or the usual ones for a document
// (mkstemp makes it private to the owner).
bool setNewFileMode(int fd, const fs::path& target) {
  struct stat existing {};
  mode_t mode = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)
                    ? existing.st_mode & 07777
                    : 0644;
  return ::fchmod(fd, mode) == 0;
}

fs::path absoluteTarget(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  return error ? fs::path(path) : absolute;
}

}  // namespace

bool replaceWithBytes(const std::string& targetPath, const std::vector<uint8_t>& bytes) {
  fs::path target = absoluteTarget(targetPath);
  TemporaryItem temporary(target);
  UniqueFd fd(temporary.createFile());
  if (fd.get() < 0 || !setNewFileMode(fd.get(), target)) return false;
  if (!writeAll(fd.get(), bytes.data(), bytes.size()) || ::fsync(fd.get()) != 0 || !fd.close()) {
    return false;
  }
  return moveIntoPlace(temporary, target);
}

bool replaceWithCopy(const std::string& sourcePath, const std::string& targetPath) {
  fs::path target = absoluteTarget(targetPath);
  std::error_code error;
  auto status = fs::status(sourcePath, error);
  if (error || !fs::exists(status)) return false;
  TemporaryItem temporary(target);
  uint64_t budget = kMaxCopyBytes;
  if (fs::is_directory(status)) {
    if (!temporary.createDirectory() || !copyFolder(sourcePath, temporary.path(), budget)) {
      return false;
    }
  } else {
    UniqueFd fd(temporary.createFile());
    if (fd.get() < 0 || !setNewFileMode(fd.get(), target)) return false;
    if (!copyFileInto(sourcePath, fd.get(), budget) || ::fsync(fd.get()) != 0 || !fd.close()) {
      return false;
    }
  }
  return moveIntoPlace(temporary, target);
}

}  // namespace file_export
