#include "platform/worker/worker_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/worker/worker_frame.h"

namespace worker {
namespace {

constexpr int kChannelFd = 3;

std::optional<unsigned long long> numberAfter(std::string_view argument, std::string_view name) {
  if (!argument.starts_with(name)) return std::nullopt;
  std::string digits(argument.substr(name.size()));
  if (digits.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(digits.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

[[noreturn]] void refuse(const char* why) {
  std::fprintf(stderr, "worker: %s; this program is started by the host\n", why);
  std::_Exit(2);
}

void applyMemoryLimit([[maybe_unused]] size_t bytes) {
  rlimit no_core{0, 0};
  ::setrlimit(RLIMIT_CORE, &no_core);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  rlimit address_space{bytes, bytes};
  if (::setrlimit(RLIMIT_AS, &address_space) != 0) refuse("the memory limit cannot be set");
#endif
}

}  // namespace

WorkerChannel WorkerChannel::adopt(int argc, char** argv) {
  std::optional<unsigned long long> channel, host, memory, max_message;
  std::vector<std::string> rest;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument(argv[i]);
    if (auto value = numberAfter(argument, "--channel-fd=")) {
      channel = value;
    } else if (auto value = numberAfter(argument, "--host-pid=")) {
      host = value;
    } else if (auto value = numberAfter(argument, "--memory-limit=")) {
      memory = value;
    } else if (auto value = numberAfter(argument, "--max-message=")) {
      max_message = value;
    } else {
      rest.emplace_back(argument);
    }
  }
  if (channel != kChannelFd || !host || !memory || !max_message) refuse("no channel");
  // Killed with the host; a host that went before this line leaves another parent.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (static_cast<unsigned long long>(::getppid()) != *host) std::_Exit(1);
  ::close_range(kChannelFd + 1, ~0U, 0);
  applyMemoryLimit(static_cast<size_t>(*memory));
  ::fcntl(kChannelFd, F_SETFD, FD_CLOEXEC);
  return WorkerChannel(kChannelFd, static_cast<size_t>(*max_message), std::move(rest));
}

std::optional<std::vector<uint8_t>> WorkerChannel::receive() {
  FrameReader reader(max_message_bytes_);
  for (;;) {
    if (auto frame = reader.take()) return frame;
    size_t wanted = 0;
    uint8_t* space = reader.space(&wanted);
    ssize_t got = ::recv(fd_, space, wanted, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    if (!reader.commit(static_cast<size_t>(got))) return std::nullopt;
  }
}

WorkerChannel::SendResult WorkerChannel::write(std::span<const uint8_t> bytes,
                                               std::optional<Clock::time_point>& deadline) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent > 0) {
      bytes = bytes.subspan(static_cast<size_t>(sent));
      deadline.reset();
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return SendResult::closed;
    int timeout = -1;
    if (deadline) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return SendResult::timedOut;
      timeout = static_cast<int>(std::min<long long>(left, 60'000));
    }
    pollfd writable{fd_, POLLOUT, 0};
    if (::poll(&writable, 1, timeout) < 0 && errno != EINTR) return SendResult::closed;
    if (writable.revents & (POLLERR | POLLHUP)) return SendResult::closed;
  }
  return SendResult::sent;
}

WorkerChannel::SendResult WorkerChannel::send(std::span<const uint8_t> message,
                                              std::optional<Clock::time_point> deadline) {
  if (message.size() > max_message_bytes_) return SendResult::tooLarge;
  auto header = frameHeader(message.size());
  if (auto result = write(header, deadline); result != SendResult::sent) return result;
  return write(message, deadline);
}

}  // namespace worker
