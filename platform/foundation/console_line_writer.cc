#include "platform/foundation/console_line_writer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace foundation {

ConsoleLineWriter::ConsoleLineWriter(int fd, std::string lineName)
    : fd_(fd), line_name_(std::move(lineName)) {}

ConsoleLineWriter::~ConsoleLineWriter() {
  std::lock_guard lock(mutex_);
  closeOwnLocked();
}

void ConsoleLineWriter::writeLine(std::string_view line) {
  std::lock_guard lock(mutex_);
  followDescriptorLocked();
  if (kind_ == Kind::none) {
    ++dropped_;
    stalled_ = true;
    return;
  }
  std::string text;
  // A line cut short before is ended, so that this one starts a line of its own.
  if (cut_) text += '\n';
  if (dropped_ > 0) {
    text += "DesktopHost[" + std::to_string(::getpid()) + "] (" + std::to_string(dropped_) + " " +
            line_name_ + (dropped_ == 1 ? "" : "s") + " could not be written and " +
            (dropped_ == 1 ? "was" : "were") + " dropped)\n";
  }
  text += line;
  text += '\n';
  const size_t written = writeLocked(text, stalled_ ? std::chrono::milliseconds(0) : kConsoleLineWait);
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

size_t ConsoleLineWriter::droppedLines() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

void ConsoleLineWriter::followDescriptorLocked() {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    // Closed: nothing to write to until it is opened again.
    closeOwnLocked();
    kind_ = Kind::none;
    return;
  }
  const bool same = kind_ != Kind::none && info.st_dev == device_ && info.st_ino == inode_;
  if (same) return;
  closeOwnLocked();
  device_ = info.st_dev;
  inode_ = info.st_ino;
  if (S_ISSOCK(info.st_mode)) {
    kind_ = Kind::socket;
    target_ = fd_;
    return;
  }
  const bool may_block = S_ISFIFO(info.st_mode) || (S_ISCHR(info.st_mode) && ::isatty(fd_));
  if (!may_block) {
    kind_ = Kind::plain;
    target_ = fd_;
    return;
  }
  const std::string own_path = "/proc/self/fd/" + std::to_string(fd_);
  own_ = ::open(own_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (own_ >= 0) {
    kind_ = Kind::nonBlocking;
    target_ = own_;
  } else if (errno == ENXIO) {
    // A pipe nobody reads any more: dropped, and looked at again with the next line.
    kind_ = Kind::none;
  } else {
    // No /proc to open it by: written as it is, as a last resort.
    kind_ = Kind::plain;
    target_ = fd_;
  }
}

void ConsoleLineWriter::closeOwnLocked() {
  if (own_ >= 0) ::close(own_);
  own_ = -1;
  target_ = -1;
}

size_t ConsoleLineWriter::writeLocked(const std::string& text, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  size_t done = 0;
  while (done < text.size()) {
    const char* data = text.data() + done;
    const size_t left = text.size() - done;
    const ssize_t written = kind_ == Kind::socket
                                ? ::send(target_, data, left, MSG_DONTWAIT | MSG_NOSIGNAL)
                                : ::write(target_, data, left);
    if (written > 0) {
      done += static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && kind_ != Kind::plain) {
      const auto left_time = std::chrono::ceil<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left_time.count() <= 0) break;
      pollfd writable{target_, POLLOUT, 0};
      if (::poll(&writable, 1, static_cast<int>(left_time.count())) < 0 && errno != EINTR) break;
      continue;
    }
    // The reader has gone (EPIPE: SIGPIPE is the host's to ignore), the file is at its size
    // limit (EFBIG), the terminal has hung up (EIO)...
    break;
  }
  return done;
}

}  // namespace foundation
