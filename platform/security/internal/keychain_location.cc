#include "platform/security/internal/keychain_location.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/system_error.h"
#include "platform/foundation/user_directories.h"
#include "platform/system/unique_fd.h"

namespace security::internal {
namespace {

std::string applicationId() {
  std::string id;
  if (auto bundle = NSBundle::mainBundle()) id = bundle->bundleIdentifier().value_or("");
  if (id.empty()) id = NSProcessInfo::processInfo().processName();
  // One path component, whatever the identifier holds.
  for (char& c : id) {
    if (c == '/') c = '_';
  }
  if (id.empty() || id == "." || id == "..") id = "DesktopHost";
  return id;
}

bool makeDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

constexpr mode_t kDirectoryMode = 0700;
constexpr mode_t kFileMode = 0600;

// Only this user's own directory and file are used, and only with no access for anyone else:
// another user's are refused untouched, loose modes of our own are tightened.
OSStatus tightenOwnMode(int fd, mode_t mode) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || status.st_uid != ::geteuid()) return errSecIO;
  if ((status.st_mode & 07777) != mode && ::fchmod(fd, mode) != 0) return errSecIO;
  return errSecSuccess;
}

}  // namespace

OSStatus keychainStatusForSystemError(const std::string& path, int error) {
  NSLog("The keychain %s could not be opened: %s", path.c_str(),
        foundation::describeSystemError(error).c_str());
  // A limit, a permission or an I/O error is "not now": an I/O error that a later call may not
  // meet, never a keychain that is not there.
  return foundation::isNotNow(error) ? errSecIO : errSecNotAvailable;
}

std::string defaultKeychainDirectory() {
  return foundation::userDataDirectory() + "/" + applicationId();
}

OSStatus prepareKeychainFile(const std::string& directory, PreparedKeychainFile* prepared) {
  if (directory.empty() || directory[0] != '/') return errSecNotAvailable;
  if (!makeDirectories(directory)) return keychainStatusForSystemError(directory, errno);
  libsystem::UniqueFd directory_fd(
      ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!directory_fd.valid()) return keychainStatusForSystemError(directory, errno);
  if (OSStatus owned = tightenOwnMode(directory_fd.get(), kDirectoryMode); owned != errSecSuccess) {
    return owned;
  }

  *prepared = PreparedKeychainFile{directory + "/" + kKeychainFileName, false};
  libsystem::UniqueFd created(::openat(directory_fd.get(), kKeychainFileName,
                                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                       kFileMode));
  if (created.valid()) {
    // The mode is exactly 0600 whatever the umask says.
    if (::fchmod(created.get(), kFileMode) != 0) return errSecIO;
    prepared->created = true;
    return errSecSuccess;
  }
  if (errno != EEXIST) return keychainStatusForSystemError(prepared->path, errno);
  // Non-blocking, so that a FIFO in its place cannot stall the open.
  libsystem::UniqueFd existing(::openat(directory_fd.get(), kKeychainFileName,
                                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat file_status {};
  if (!existing.valid() || ::fstat(existing.get(), &file_status) != 0) {
    return keychainStatusForSystemError(prepared->path, errno);
  }
  if (!S_ISREG(file_status.st_mode)) return errSecNotAvailable;
  return tightenOwnMode(existing.get(), kFileMode);
}

}  // namespace security::internal
