// The listening end of the socket transport: a Unix stream socket at a path, readable and
// writable by its owner only (mode 0600), removed when the listener goes away.
//
// A stale socket file left by an earlier run (one that refuses a connection) is replaced.
// Anything else at the path is refused: a file that is not a socket, or a socket that another
// process is listening on (one that takes, queues or does not refuse a connection within the
// probe's deadline). Nothing is bound once the process is ending (stopOpeningListeners).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/system/unique_fd.h"

namespace flutter {

class SocketListener {
 public:
  // Listens at `path`; nullopt, with a sentence saying why in `error`, when it cannot.
  static std::optional<SocketListener> open(const std::string& path, std::string& error);

  SocketListener(SocketListener&& other) noexcept;
  SocketListener& operator=(SocketListener&& other) noexcept;
  ~SocketListener();

  const std::string& path() const { return path_; }
  // Non-blocking; readable when a connection waits.
  int fd() const { return fd_.get(); }
  // A waiting connection (non-blocking, close-on-exec), or an invalid descriptor if none waits.
  libsystem::UniqueFd accept();

 private:
  SocketListener(libsystem::UniqueFd fd, std::string path, dev_t device, ino_t inode);
  // Removes the socket file if it is still the one this listener created.
  void removeSocketFile();

  uint64_t id_ = 0;  // in the process's list of listened files; 0 once moved from
  libsystem::UniqueFd fd_;
  std::string path_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

// The process is ending (its termination was requested): a listener opening now stops waiting
// (for the lock of its socket's folder) within a moment, and no listener binds from here on;
// each such open fails saying so. Any thread; it stays. Waits at most a moment for a listener
// that is binding.
void stopOpeningListeners();

// Removes the socket file of every listener still open, for a process that ends without
// unwinding (the host's orderly close passed its deadline). Any thread; waits at most a moment
// for a listener that is opening or closing.
void removeListenedSocketFiles();

}  // namespace flutter
