#include "platform/foundation/ns_file_manager.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/foundation/file_system_path.h"

namespace fs = std::filesystem;

namespace {

bool fail(NSError* error, int code, const std::string& what, const std::string& path) {
  if (error != nullptr) {
    *error = NSError{NSPOSIXErrorDomain, code, what + " \"" + path + "\": " + std::strerror(code)};
  }
  return false;
}

}  // namespace

std::shared_ptr<NSFileManager> NSFileManager::defaultManager() {
  static auto* const manager =
      new std::shared_ptr<NSFileManager>(std::make_shared<NSFileManager>());
  return *manager;
}

bool NSFileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
  struct stat info {};
  if (!foundation::isFileSystemPath(path) || ::stat(path.c_str(), &info) != 0) return false;
  if (isDirectory != nullptr) *isDirectory = S_ISDIR(info.st_mode);
  return true;
}

bool NSFileManager::createDirectoryAtPath(const std::string& path, bool createIntermediates,
                                          const NSFileAttributes& /*attributes*/,
                                          NSError* error) const {
  if (!foundation::isFileSystemPath(path)) {
    return fail(error, ENOENT, "Could not create the folder", path);
  }
  if (createIntermediates) {
    std::error_code code;
    fs::create_directories(path, code);
    if (code) return fail(error, code.value(), "Could not create the folder", path);
    bool directory = false;
    if (!fileExistsAtPath(path, &directory) || !directory) {
      return fail(error, EEXIST, "Could not create the folder", path);
    }
    return true;
  }
  if (::mkdir(path.c_str(), 0777) != 0) {
    return fail(error, errno, "Could not create the folder", path);
  }
  return true;
}

bool NSFileManager::removeItemAtPath(const std::string& path, NSError* error) const {
  std::error_code code;
  if (!foundation::isFileSystemPath(path) || !fs::exists(fs::symlink_status(path, code))) {
    return fail(error, ENOENT, "Could not remove", path);
  }
  fs::remove_all(path, code);
  if (code) return fail(error, code.value(), "Could not remove", path);
  return true;
}

std::vector<NSURL> NSFileManager::URLsForDirectory(NSSearchPathDirectory directory,
                                                   NSSearchPathDomainMask domainMask) const {
  std::vector<NSURL> urls;
  for (const auto& path : NSSearchPathForDirectoriesInDomains(directory, domainMask, true)) {
    urls.push_back(NSURL::fileURLWithPath(path, true));
  }
  return urls;
}

namespace {

NSDate dateOf(const struct statx_timestamp& time) {
  return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(time.tv_sec) +
                                               static_cast<double>(time.tv_nsec) / 1e9);
}

}  // namespace

std::optional<NSFileItemAttributes> NSFileManager::attributesOfItemAtPath(const std::string& path,
                                                                          NSError* error) const {
  struct statx info {};
  if (!foundation::isFileSystemPath(path) ||
      ::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
    fail(error, !foundation::isFileSystemPath(path) ? ENOENT : errno,
         "Could not read the attributes of", path);
    return std::nullopt;
  }
  NSFileItemAttributes attributes;
  attributes[NSFileModificationDate] = dateOf(info.stx_mtime);
  if ((info.stx_mask & STATX_BTIME) != 0) attributes[NSFileCreationDate] = dateOf(info.stx_btime);
  return attributes;
}
