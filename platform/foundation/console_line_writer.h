// Writes whole lines to a descriptor the process was given (its standard output or error) without
// ever ending the process or holding its caller for long. A pipe or terminal is written through a
// non-blocking description of its own (the descriptor, which the parent may share, keeps its
// flags), a socket with non-blocking sends that raise no SIGPIPE, anything else as it is. A line
// waits at most kConsoleLineWait for room; past it, and when the reader has gone, the file is at
// its size limit or the descriptor is closed, the line is dropped, later lines do not wait until
// one is written again, and the first written after says how many were dropped.
//
// The descriptor is looked at again before each line, so one replaced under it (dup2) is written
// as what it is now.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace foundation {

inline constexpr std::chrono::milliseconds kConsoleLineWait{100};

class ConsoleLineWriter {
 public:
  // `fd` is borrowed; `lineName` names its lines in the count of those dropped ("log line").
  ConsoleLineWriter(int fd, std::string lineName);
  ~ConsoleLineWriter();
  ConsoleLineWriter(const ConsoleLineWriter&) = delete;
  ConsoleLineWriter& operator=(const ConsoleLineWriter&) = delete;

  // Writes `line` and a newline.
  void writeLine(std::string_view line);

  // Lines dropped since the last one written.
  size_t droppedLines() const;

 private:
  enum class Kind { none, plain, nonBlocking, socket };

  // Brings the way of writing in line with what the descriptor is now.
  void followDescriptorLocked();
  void closeOwnLocked();
  // Answers how many bytes of `text` were written.
  size_t writeLocked(const std::string& text, std::chrono::milliseconds wait);

  const int fd_;
  const std::string line_name_;
  mutable std::mutex mutex_;
  Kind kind_ = Kind::none;
  int target_ = -1;    // what is written to: fd_, or the description of its own
  int own_ = -1;       // the description of its own, when it has one
  dev_t device_ = 0;   // what fd_ was when the way of writing was chosen
  ino_t inode_ = 0;
  bool stalled_ = false;  // the last line was dropped: the next does not wait
  bool cut_ = false;      // the last text written ended inside a line
  size_t dropped_ = 0;
};

}  // namespace foundation
