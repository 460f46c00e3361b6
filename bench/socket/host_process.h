// The host executable in a process of its own, serving its Dart side on a socket in a fresh
// directory. Ends (SIGTERM, which closes its window) when this object goes away.
#pragma once

#include <sys/types.h>

#include <string>
#include <thread>

#include "platform/system/unique_fd.h"

class HostProcess {
 public:
  // Starts the host and waits until it serves its socket; throws if it does not.
  explicit HostProcess(const std::string& executable);
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  const std::string& socketPath() const { return socket_path_; }
  pid_t pid() const { return pid_; }
  // Sends SIGTERM and waits for the host to end; answers its wait status.
  int terminate();

 private:
  void waitUntilServing();

  std::string directory_;
  std::string socket_path_;
  pid_t pid_ = -1;
  libsystem::UniqueFd log_;
  std::thread log_drain_;
};
