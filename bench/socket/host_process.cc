#include "bench/socket/host_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/flutter/socket_dart_side.h"

extern char** environ;

namespace {
constexpr auto kStartTimeout = std::chrono::seconds(20);
}  // namespace

HostProcess::HostProcess(const std::string& executable) {
  std::string pattern = (std::filesystem::temp_directory_path() / "socket-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  directory_ = pattern;
  socket_path_ = directory_ + "/host.sock";

  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  environment.push_back(std::string(flutter::kDartSideSocketVariable) + "=" + socket_path_);
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int log_pipe[2];
  if (::pipe2(log_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  log_.reset(log_pipe[0]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, log_pipe[1], STDERR_FILENO);
  std::string program = executable;
  char* argv[] = {program.data(), nullptr};
  int spawned = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(log_pipe[1]);
  if (spawned != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + executable);
  }
  waitUntilServing();
  // Its later log lines are read and dropped, so that the host never blocks on a full pipe.
  log_drain_ = std::thread([fd = log_.get()] {
    char buffer[4096];
    while (::read(fd, buffer, sizeof(buffer)) > 0) {
    }
  });
}

void HostProcess::waitUntilServing() {
  std::string log;
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (log.find("Serving the Dart side on") == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd readable = {log_.get(), POLLIN, 0};
    char buffer[4096];
    ssize_t received = 0;
    if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0 ||
        (received = ::read(log_.get(), buffer, sizeof(buffer))) <= 0) {
      throw std::runtime_error("the host did not serve its socket; its log:\n" + log);
    }
    log.append(buffer, static_cast<size_t>(received));
  }
}

int HostProcess::terminate() {
  int status = 0;
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  return status;
}

HostProcess::~HostProcess() {
  terminate();
  if (log_drain_.joinable()) log_drain_.join();
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}
