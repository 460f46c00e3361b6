#include "platform/security/internal/keychain_location.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/user_directories.h"

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

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace

std::string defaultKeychainDirectory() {
  return foundation::userDataDirectory() + "/" + applicationId();
}

std::optional<PreparedKeychainFile> prepareKeychainFile(const std::string& directory) {
  if (directory.empty() || directory[0] != '/' || !makeDirectories(directory)) return std::nullopt;
  FileDescriptor directory_fd(
      ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat directory_status {};
  if (!directory_fd.valid() || ::fstat(directory_fd.get(), &directory_status) != 0 ||
      directory_status.st_uid != ::geteuid()) {
    return std::nullopt;
  }

  PreparedKeychainFile prepared{directory + "/" + kKeychainFileName, false};
  FileDescriptor created(::openat(directory_fd.get(), kKeychainFileName,
                                  O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (created.valid()) {
    // The mode is exactly 0600 whatever the umask says.
    if (::fchmod(created.get(), 0600) != 0) return std::nullopt;
    prepared.created = true;
    return prepared;
  }
  if (errno != EEXIST) return std::nullopt;
  FileDescriptor existing(
      ::openat(directory_fd.get(), kKeychainFileName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat file_status {};
  if (!existing.valid() || ::fstat(existing.get(), &file_status) != 0 ||
      !S_ISREG(file_status.st_mode)) {
    return std::nullopt;
  }
  return prepared;
}

}  // namespace security::internal
