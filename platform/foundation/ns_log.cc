#include "platform/foundation/ns_log.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/foundation/testing/foundation_controls.h"

namespace {

// How long one line may wait for room when its reader is slow (a pipe, a terminal, a socket);
// past it the line is dropped, and later lines do not wait until one has been written again.
constexpr std::chrono::milliseconds kLineWait{100};

// Writes whole lines to standard error without ever ending the process or holding its caller for
// long: a pipe or terminal is written through a non-blocking description of its own (the
// descriptor the process was given, which its parent may share, keeps its flags), a socket with
// non-blocking sends that raise no SIGPIPE. A line that cannot be written (the reader has gone
// or stopped reading, the file is at its size limit, the descriptor is closed) is dropped; the
// next line written says how many were.
class StandardErrorWriter {
 public:
  StandardErrorWriter() {
    struct stat info {};
    if (::fstat(STDERR_FILENO, &info) != 0) return;
    fd_ = STDERR_FILENO;
    if (S_ISSOCK(info.st_mode)) {
      kind_ = Kind::socket;
    } else if (S_ISFIFO(info.st_mode) || (S_ISCHR(info.st_mode) && ::isatty(STDERR_FILENO))) {
      const int own = ::open("/proc/self/fd/2", O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
      if (own >= 0) {
        fd_ = own;
        kind_ = Kind::nonBlocking;
      }
    }
  }

  void writeLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    std::string text;
    // A line cut short before is ended, so that this one starts a line of its own.
    if (cut_) text += '\n';
    if (dropped_ > 0) {
      text += prefix() + "(" + std::to_string(dropped_) +
              (dropped_ == 1 ? " log line" : " log lines") +
              " could not be written and " + (dropped_ == 1 ? "was" : "were") + " dropped)\n";
    }
    text += line;
    const size_t written = write(text, stalled_ ? std::chrono::milliseconds(0) : kLineWait);
    if (written == text.size()) {
      cut_ = false;
      stalled_ = false;
      dropped_ = 0;
      return;
    }
    cut_ = cut_ || written > 0;
    stalled_ = true;
    ++dropped_;
  }

 private:
  enum class Kind { plain, nonBlocking, socket };

  static std::string prefix() { return "DesktopHost[" + std::to_string(::getpid()) + "] "; }

  // Answers how many bytes of `text` were written.
  size_t write(const std::string& text, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    size_t done = 0;
    while (done < text.size()) {
      const char* data = text.data() + done;
      const size_t left = text.size() - done;
      const ssize_t written = kind_ == Kind::socket
                                  ? ::send(fd_, data, left, MSG_DONTWAIT | MSG_NOSIGNAL)
                                  : ::write(fd_, data, left);
      if (written > 0) {
        done += static_cast<size_t>(written);
        continue;
      }
      if (written < 0 && errno == EINTR) continue;
      if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && kind_ != Kind::plain) {
        const auto left_time = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left_time.count() <= 0) break;
        pollfd writable{fd_, POLLOUT, 0};
        if (::poll(&writable, 1, static_cast<int>(left_time.count())) < 0 && errno != EINTR) break;
        continue;
      }
      // The reader has gone (EPIPE: SIGPIPE is the host's to ignore), the file is at its size
      // limit (EFBIG), the terminal has hung up (EIO)...
      break;
    }
    return done;
  }

  std::mutex mutex_;
  int fd_ = -1;
  Kind kind_ = Kind::plain;
  bool stalled_ = false;  // the last line was dropped: the next does not wait
  bool cut_ = false;      // the last text written ended inside a line
  size_t dropped_ = 0;
};

StandardErrorWriter& standardError() {
  // Never destroyed: threads may log while static objects are destroyed at exit.
  static auto* const writer = new StandardErrorWriter;
  return *writer;
}

}  // namespace

void NSLog(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(line.data(), line.size() + 1, format, arguments);
  va_end(arguments);
  foundation::testing::recordLogLine(line);
  standardError().writeLine("DesktopHost[" + std::to_string(getpid()) + "] " + line + "\n");
}
