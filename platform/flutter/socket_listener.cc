#include "platform/flutter/socket_listener.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace flutter {
namespace {

constexpr int kBacklog = 4;
// How long the probe of an existing socket file may take.
constexpr std::chrono::milliseconds kProbeDeadline{1000};
// How long a host waits for another that is starting on a path of the same folder.
constexpr std::chrono::milliseconds kLockDeadline{2000};

std::string describeErrno(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

sockaddr_un addressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  return address;
}

// What a connection to the socket file at a path finds.
enum class Probe {
  refused,    // nobody listens: the file is stale
  gone,       // the file went meanwhile
  listening,  // someone listens, or may: a connection was taken, waits, or was not refused
};

// Probes with a connection that never waits: a listener whose backlog is full, or one that a
// signal interrupts, is not taken for a stale file. Only a refused connection makes one.
Probe probeSocket(const std::string& path) {
  libsystem::UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!probe) return Probe::listening;
  auto address = addressOf(path);
  const auto deadline = std::chrono::steady_clock::now() + kProbeDeadline;
  int result = ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  int error = result == 0 ? 0 : errno;
  // A Unix socket answers a non-blocking connection at once; should one be in progress, it has
  // until the deadline.
  while (error == EINPROGRESS || error == EALREADY || error == EINTR) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Probe::listening;
    pollfd writable{probe.get(), POLLOUT, 0};
    if (::poll(&writable, 1, static_cast<int>(left.count())) <= 0) continue;
    socklen_t size = sizeof(error);
    if (::getsockopt(probe.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
  }
  if (error == ECONNREFUSED) return Probe::refused;
  if (error == ENOENT) return Probe::gone;
  return Probe::listening;
}

// The socket files of the listeners open now, for removeListenedSocketFiles, and whether the
// process is ending, for every open.
struct ListenedFile {
  std::string path;
  dev_t device;
  ino_t inode;
};
struct ListenedFiles {
  std::timed_mutex mutex;
  uint64_t next_id = 1;
  std::map<uint64_t, ListenedFile> files;
  // Set once the process is ending: changed under `mutex`, so that a bind made under it either
  // happened before or does not happen; read without it by the waits, which it ends.
  std::atomic<bool> ending{false};
};
ListenedFiles& listenedFiles() {
  // Never destroyed: a thread may end the process while static objects are destroyed.
  static auto* const files = new ListenedFiles;
  return *files;
}

// Holds the lock on a socket file's folder while a host clears the way and binds, so that two
// hosts started on one path at once never take each other's new socket for a stale one. Waits at
// most kLockDeadline for another holder, and no longer once the process is ending; a folder that
// cannot be locked (no read access) is used without the lock.
class FolderLock {
 public:
  explicit FolderLock(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    fd_ = libsystem::UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd_) return;
    const auto deadline = std::chrono::steady_clock::now() + kLockDeadline;
    while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) ||
          std::chrono::steady_clock::now() >= deadline) {
        timed_out_ = errno == EWOULDBLOCK;
        fd_.reset();
        return;
      }
      // Checked at every turn: a termination request ends the wait within one.
      if (listenedFiles().ending.load()) {
        fd_.reset();
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() {
    if (fd_) ::flock(fd_.get(), LOCK_UN);
  }
  // Another process held the folder past the deadline.
  bool timedOut() const { return timed_out_; }

 private:
  libsystem::UniqueFd fd_;
  bool timed_out_ = false;
};

// Clears the way for a new socket at `path`; answers false with `error` set when it must not.
bool removeStaleSocket(const std::string& path, bool mayRemove, std::string& error) {
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) != 0) {
    if (errno == ENOENT) return true;
    error = describeErrno("cannot inspect", path);
    return false;
  }
  if (!S_ISSOCK(existing.st_mode)) {
    error = path + " exists and is not a socket; it is left alone";
    return false;
  }
  const Probe probe = probeSocket(path);
  if (probe == Probe::gone) return true;
  if (probe == Probe::listening) {
    error = "another process is already listening on " + path;
    return false;
  }
  // A folder that another holds past the deadline keeps its stale file: another host may be
  // replacing it.
  if (!mayRemove) {
    error = "could not lock the folder of " + path + " within " +
            std::to_string(kLockDeadline.count()) +
            " ms (another host may be starting there); its stale socket file is left alone";
    return false;
  }
  // Only the file probed goes: one that replaced it since is another's.
  struct stat current {};
  if (::lstat(path.c_str(), &current) != 0) return errno == ENOENT;
  if (current.st_dev != existing.st_dev || current.st_ino != existing.st_ino) {
    error = "another process is already listening on " + path;
    return false;
  }
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    error = describeErrno("cannot remove the stale socket", path);
    return false;
  }
  return true;
}

// Removes the file at `path` if it is still the socket `device` and `inode` name.
void removeIfStillOurs(const std::string& path, dev_t device, ino_t inode) {
  struct stat current {};
  // Another process may have replaced the file since; only ours is removed.
  if (::lstat(path.c_str(), &current) == 0 && S_ISSOCK(current.st_mode) &&
      current.st_dev == device && current.st_ino == inode) {
    ::unlink(path.c_str());
  }
}

}  // namespace

void stopOpeningListeners() {
  auto& listened = listenedFiles();
  std::unique_lock lock(listened.mutex, std::defer_lock);
  // Not past a moment: the process ends anyway, and the waits read the mark without the lock.
  [[maybe_unused]] const bool locked = lock.try_lock_for(std::chrono::milliseconds(200));
  listened.ending.store(true);
}

void removeListenedSocketFiles() {
  auto& listened = listenedFiles();
  std::unique_lock lock(listened.mutex, std::defer_lock);
  if (!lock.try_lock_for(std::chrono::milliseconds(200))) return;
  for (const auto& [id, file] : listened.files) removeIfStillOurs(file.path, file.device, file.inode);
  listened.files.clear();
}

std::optional<SocketListener> SocketListener::open(const std::string& path, std::string& error) {
  if (path.empty() || path.size() >= sizeof(sockaddr_un::sun_path)) {
    error = "socket path '" + path + "' must be 1 to " +
            std::to_string(sizeof(sockaddr_un::sun_path) - 1) + " bytes long";
    return std::nullopt;
  }
  if (path.find('\0') != std::string::npos) {
    error = "socket path contains a NUL byte";
    return std::nullopt;
  }
  auto& listened = listenedFiles();
  const auto ending = [&] {
    error = "the host is ending (its termination was requested); nothing is bound at " + path;
    return std::nullopt;
  };
  FolderLock folder_lock(path);
  if (listened.ending.load()) return ending();
  if (!removeStaleSocket(path, !folder_lock.timedOut(), error)) return std::nullopt;

  libsystem::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd) {
    error = describeErrno("cannot create a socket for", path);
    return std::nullopt;
  }
  // The mode of the socket's inode becomes the file's at bind, so the file never exists with
  // wider access.
  if (::fchmod(fd.get(), 0600) != 0) {
    error = describeErrno("cannot restrict the socket for", path);
    return std::nullopt;
  }
  auto address = addressOf(path);
  struct stat created {};
  {
    // Bound only while the process is not ending, under the lock that marks it so.
    std::lock_guard registry(listened.mutex);
    if (listened.ending.load()) return ending();
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
      error = describeErrno("cannot bind", path);
      return std::nullopt;
    }
    if (::lstat(path.c_str(), &created) != 0) {
      error = describeErrno("cannot inspect the new socket", path);
      return std::nullopt;
    }
  }
  SocketListener listener(std::move(fd), path, created.st_dev, created.st_ino);
  // The listener owns the file from here: every failure below removes it.
  if ((created.st_mode & 0077) != 0 && ::chmod(path.c_str(), 0600) != 0) {
    error = describeErrno("cannot restrict", path);
    return std::nullopt;
  }
  if (::listen(listener.fd(), kBacklog) != 0) {
    error = describeErrno("cannot listen on", path);
    return std::nullopt;
  }
  return listener;
}

SocketListener::SocketListener(libsystem::UniqueFd fd, std::string path, dev_t device, ino_t inode)
    : fd_(std::move(fd)), path_(std::move(path)), device_(device), inode_(inode) {
  auto& listened = listenedFiles();
  std::lock_guard lock(listened.mutex);
  id_ = listened.next_id++;
  listened.files[id_] = ListenedFile{path_, device_, inode_};
}

SocketListener::SocketListener(SocketListener&& other) noexcept
    : id_(std::exchange(other.id_, 0)),
      fd_(std::move(other.fd_)),
      path_(std::exchange(other.path_, {})),
      device_(other.device_),
      inode_(other.inode_) {}

SocketListener& SocketListener::operator=(SocketListener&& other) noexcept {
  if (this != &other) {
    removeSocketFile();
    id_ = std::exchange(other.id_, 0);
    fd_ = std::move(other.fd_);
    path_ = std::exchange(other.path_, {});
    device_ = other.device_;
    inode_ = other.inode_;
  }
  return *this;
}

SocketListener::~SocketListener() { removeSocketFile(); }

libsystem::UniqueFd SocketListener::accept() {
  return libsystem::UniqueFd(::accept4(fd_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
}

void SocketListener::removeSocketFile() {
  fd_.reset();
  if (!path_.empty()) removeIfStillOurs(path_, device_, inode_);
  path_.clear();
  if (id_ != 0) {
    auto& listened = listenedFiles();
    std::lock_guard lock(listened.mutex);
    listened.files.erase(std::exchange(id_, 0));
  }
}

}  // namespace flutter
