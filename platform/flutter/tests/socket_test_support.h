// What the socket transport's tests share: a temporary folder for the socket file and a client
// end connected to it.
#pragma once

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <filesystem>
#include <string>

#include "platform/system/unique_fd.h"

namespace socket_testing {

class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "socket-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TemporaryDirectory() { std::filesystem::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline libsystem::UniqueFd connectTo(const std::string& path) {
  libsystem::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof(address.sun_path) - 1);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    return libsystem::UniqueFd();
  }
  return fd;
}

}  // namespace socket_testing
