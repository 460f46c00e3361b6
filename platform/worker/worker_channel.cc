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
#include <cstring>
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
  return WorkerChannel(libsystem::UniqueFd(kChannelFd),
                       std::min<size_t>(*max_message, kMaxFrameLength), std::move(rest));
}

std::optional<std::vector<uint8_t>> WorkerChannel::receive(
    std::optional<Clock::time_point> deadline) {
  for (;;) {
    if (auto frame = reader_.take()) return std::move(frame->message);
    if (deadline) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return std::nullopt;
      pollfd readable{fd_.get(), POLLIN, 0};
      int ready = ::poll(&readable, 1, static_cast<int>(std::min<long long>(left, 60'000)));
      if (ready < 0 && errno != EINTR) return std::nullopt;
      if (ready <= 0) continue;
    }
    size_t wanted = 0;
    uint8_t* space = reader_.space(&wanted);
    ssize_t got = ::recv(fd_.get(), space, wanted, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    if (!reader_.commit(static_cast<size_t>(got))) return std::nullopt;
  }
}

WorkerChannel::SendResult WorkerChannel::write(std::span<const uint8_t> bytes,
                                               std::optional<Clock::time_point>& deadline,
                                               int descriptor) {
  while (!bytes.empty()) {
    ssize_t sent = 0;
    if (descriptor >= 0) {
      iovec data{const_cast<uint8_t*>(bytes.data()), bytes.size()};
      alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
      msghdr header{};
      header.msg_iov = &data;
      header.msg_iovlen = 1;
      header.msg_control = control;
      header.msg_controllen = sizeof(control);
      cmsghdr* rights = CMSG_FIRSTHDR(&header);
      rights->cmsg_level = SOL_SOCKET;
      rights->cmsg_type = SCM_RIGHTS;
      rights->cmsg_len = CMSG_LEN(sizeof(int));
      std::memcpy(CMSG_DATA(rights), &descriptor, sizeof(int));
      sent = ::sendmsg(fd_.get(), &header, MSG_DONTWAIT | MSG_NOSIGNAL);
    } else {
      sent = ::send(fd_.get(), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    }
    if (sent > 0) {
      bytes = bytes.subspan(static_cast<size_t>(sent));
      deadline.reset();
      descriptor = -1;  // it went with the first byte taken
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
    pollfd writable{fd_.get(), POLLOUT, 0};
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

WorkerChannel::SendResult WorkerChannel::send(std::span<const uint8_t> message,
                                              const SharedBuffer& buffer,
                                              std::optional<Clock::time_point> deadline) {
  if (message.size() > max_message_bytes_) return SendResult::tooLarge;
  auto header = bufferFrameHeader(message.size(), buffer.bytes().size());
  if (auto result = write(header, deadline, buffer.descriptor()); result != SendResult::sent) {
    return result;
  }
  return write(message, deadline);
}

}  // namespace worker
