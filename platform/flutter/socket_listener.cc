#include "platform/flutter/socket_listener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace flutter {
namespace {

constexpr int kBacklog = 4;

std::string describeErrno(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

sockaddr_un addressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  return address;
}

// A socket file whose listener is gone refuses connections; one still in use accepts them.
bool isListenedOn(const std::string& path) {
  UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!probe) return false;
  auto address = addressOf(path);
  return ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

// Clears the way for a new socket at `path`; answers false with `error` set when it must not.
bool removeStaleSocket(const std::string& path, std::string& error) {
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
  if (isListenedOn(path)) {
    error = "another process is already listening on " + path;
    return false;
  }
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    error = describeErrno("cannot remove the stale socket", path);
    return false;
  }
  return true;
}

}  // namespace

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
  if (!removeStaleSocket(path, error)) return std::nullopt;

  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
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
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    error = describeErrno("cannot bind", path);
    return std::nullopt;
  }
  struct stat created {};
  if (::lstat(path.c_str(), &created) != 0) {
    error = describeErrno("cannot inspect the new socket", path);
    return std::nullopt;
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

SocketListener::SocketListener(UniqueFd fd, std::string path, dev_t device, ino_t inode)
    : fd_(std::move(fd)), path_(std::move(path)), device_(device), inode_(inode) {}

SocketListener::SocketListener(SocketListener&& other) noexcept
    : fd_(std::move(other.fd_)),
      path_(std::exchange(other.path_, {})),
      device_(other.device_),
      inode_(other.inode_) {}

SocketListener& SocketListener::operator=(SocketListener&& other) noexcept {
  if (this != &other) {
    removeSocketFile();
    fd_ = std::move(other.fd_);
    path_ = std::exchange(other.path_, {});
    device_ = other.device_;
    inode_ = other.inode_;
  }
  return *this;
}

SocketListener::~SocketListener() { removeSocketFile(); }

UniqueFd SocketListener::accept() {
  return UniqueFd(::accept4(fd_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
}

void SocketListener::removeSocketFile() {
  fd_.reset();
  if (path_.empty()) return;
  struct stat current {};
  // Another process may have replaced the file since; only ours is removed.
  if (::lstat(path_.c_str(), &current) == 0 && S_ISSOCK(current.st_mode) &&
      current.st_dev == device_ && current.st_ino == inode_) {
    ::unlink(path_.c_str());
  }
  path_.clear();
}

}  // namespace flutter
