#include "platform/webkit/internal/page_file.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/system/unique_fd.h"

namespace webkit {
namespace {

using libsystem::UniqueFd;
using Opened = std::variant<UniqueFd, PageFileError>;

PageFileError errorForErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:  // no file can have that name
      return PageFileError::kNotFound;
    case EXDEV:  // out of the folder
    case ELOOP:  // a link where none may be followed
      return PageFileError::kOutsideFolder;
    case ENXIO:
    case ENODEV:
      return PageFileError::kNotRegular;
    default:
      return PageFileError::kUnreadable;
  }
}

constexpr int kFileFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Where openat2 is missing: a walk that opens each name without following any link (inside the
// folder too) and refuses "..".
Opened openWalking(int folder, const std::filesystem::path& relative) {
  UniqueFd current(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
  if (!current.valid()) return errorForErrno(errno);
  std::vector<std::string> names;
  for (const auto& part : relative) {
    if (part == "..") return PageFileError::kOutsideFolder;
    if (!part.empty() && part != "." && part != "/") names.push_back(part.string());
  }
  if (names.empty()) return PageFileError::kDirectory;
  for (size_t i = 0; i < names.size(); ++i) {
    bool last = i + 1 == names.size();
    int flags = last ? kFileFlags | O_NOFOLLOW : O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd next(::openat(current.get(), names[i].c_str(), flags));
    if (!next.valid()) {
      // A link in the middle of the path opens as no directory.
      struct stat status {};
      if (errno == ENOTDIR &&
          ::fstatat(current.get(), names[i].c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(status.st_mode)) {
        return PageFileError::kOutsideFolder;
      }
      return errorForErrno(errno);
    }
    current = std::move(next);
  }
  return current;
}

Opened openBeneath(int folder, const std::filesystem::path& relative) {
  open_how how{};
  how.flags = kFileFlags;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  long fd = ::syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how);
  if (fd >= 0) return UniqueFd(static_cast<int>(fd));
  if (errno == ENOSYS || errno == EPERM) return openWalking(folder, relative);
  return errorForErrno(errno);
}

std::optional<std::filesystem::path> resolved(const std::filesystem::path& path) {
  char real[PATH_MAX];
  if (::realpath(path.c_str(), real) == nullptr) return std::nullopt;
  return std::filesystem::path(real);
}

// `file` relative to `folder`, when it lies beneath it: by its name, or once the folders on its
// way are resolved (a file named through another path to the folder). Only which name to open
// beneath the folder comes from here; whether it stays inside is the open's to check.
std::variant<std::filesystem::path, PageFileError> relativePath(
    const std::filesystem::path& file, const std::filesystem::path& folder) {
  auto beneath = [](const std::filesystem::path& path,
                    const std::filesystem::path& base) -> std::optional<std::filesystem::path> {
    auto relative = path.lexically_relative(base);
    if (relative.empty() || *relative.begin() == "..") return std::nullopt;
    return relative;
  };
  auto file_name = file.lexically_normal();
  auto folder_name = folder.lexically_normal();
  if (auto relative = beneath(file_name, folder_name)) return *relative;
  auto real_folder = resolved(folder_name);
  auto real_parent = resolved(file_name.parent_path());
  if (!real_folder || !real_parent) return PageFileError::kNotFound;
  if (auto relative = beneath(*real_parent / file_name.filename(), *real_folder)) return *relative;
  return PageFileError::kOutsideFolder;
}

std::variant<std::vector<uint8_t>, PageFileError> readOpened(const UniqueFd& file,
                                                             uint64_t maxBytes) {
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) return errorForErrno(errno);
  if (S_ISDIR(status.st_mode)) return PageFileError::kDirectory;
  if (!S_ISREG(status.st_mode)) return PageFileError::kNotRegular;
  if (status.st_size < 0 || static_cast<uint64_t>(status.st_size) > maxBytes) {
    return PageFileError::kTooLarge;
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(status.st_size));
  uint8_t buffer[64 * 1024];
  for (;;) {
    ssize_t count = ::pread(file.get(), buffer, sizeof buffer, static_cast<off_t>(bytes.size()));
    if (count < 0 && errno == EINTR) continue;
    // EAGAIN included: what would block is a failure to read.
    if (count < 0) return PageFileError::kUnreadable;
    if (count == 0) return bytes;
    // A file that grows while it is read cannot pass the limit either.
    if (bytes.size() + static_cast<size_t>(count) > maxBytes) return PageFileError::kTooLarge;
    bytes.insert(bytes.end(), buffer, buffer + count);
  }
}

}  // namespace

std::variant<std::vector<uint8_t>, PageFileError> readPageFile(const std::string& file,
                                                               const std::string& folder,
                                                               uint64_t maxBytes) {
  // The folder is the caller's to name: links on its own path are followed.
  UniqueFd access(::open(folder.c_str(), O_PATH | O_CLOEXEC));
  if (!access.valid()) {
    return errno == ENOENT || errno == ENOTDIR ? PageFileError::kOutsideFolder
                                               : errorForErrno(errno);
  }
  struct stat access_status {};
  if (::fstat(access.get(), &access_status) != 0) return errorForErrno(errno);
  std::filesystem::path base_name = folder;
  UniqueFd base = std::move(access);
  if (!S_ISDIR(access_status.st_mode)) {
    // A folder that is a file: that one file may be read, beneath its own folder.
    base_name = std::filesystem::path(folder).lexically_normal().parent_path();
    base = UniqueFd(::open(base_name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!base.valid()) return errorForErrno(errno);
  }
  auto relative = relativePath(file, base_name);
  if (auto* error = std::get_if<PageFileError>(&relative)) return *error;
  auto opened = openBeneath(base.get(), std::get<std::filesystem::path>(relative));
  if (auto* error = std::get_if<PageFileError>(&opened)) return *error;
  const auto& descriptor = std::get<UniqueFd>(opened);
  // A name that goes on past its last part ("page.html/") names a folder, as the kernel reads it:
  // a file there is not what was asked for.
  if (!std::filesystem::path(file).lexically_normal().has_filename()) {
    struct stat status {};
    if (::fstat(descriptor.get(), &status) != 0) return errorForErrno(errno);
    if (!S_ISDIR(status.st_mode)) return PageFileError::kNotFound;
  }
  if (!S_ISDIR(access_status.st_mode)) {
    struct stat status {};
    if (::fstat(descriptor.get(), &status) != 0) return errorForErrno(errno);
    if (status.st_dev != access_status.st_dev || status.st_ino != access_status.st_ino) {
      return PageFileError::kOutsideFolder;
    }
  }
  return readOpened(descriptor, maxBytes);
}

}  // namespace webkit
