// The system's limits reached on purpose, for tests of what a store answers there: a file-size
// limit (as `prlimit --fsize` sets it, with SIGXFSZ ignored as the host ignores it) and a process
// with no descriptor left to open (as `prlimit --nofile` and a busy host make it). Each holds for
// the object's life and is undone when it goes.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <vector>

namespace foundation::testing {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  // Whether the limit is in force.
  bool active() const { return active_; }

 private:
  rlimit saved_{};
  struct sigaction saved_action_ {};
  bool active_ = false;
};

// The soft descriptor limit lowered to `soft` (never above the hard limit).
class DescriptorLimit {
 public:
  explicit DescriptorLimit(rlim_t soft);
  ~DescriptorLimit();
  DescriptorLimit(const DescriptorLimit&) = delete;
  DescriptorLimit& operator=(const DescriptorLimit&) = delete;
  bool active() const { return active_; }

 private:
  rlimit saved_{};
  bool active_ = false;
};

class DescriptorsExhausted {
 public:
  // Takes every descriptor the process may still open, the soft limit lowered to at most
  // `limit` first so that this stays cheap.
  explicit DescriptorsExhausted(rlim_t limit = 1024);
  ~DescriptorsExhausted();
  DescriptorsExhausted(const DescriptorsExhausted&) = delete;
  DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;
  // Gives `count` descriptors back, so that a call may open that many and no more.
  void release(size_t count);
  bool active() const { return !held_.empty(); }

 private:
  rlimit saved_{};
  std::vector<int> held_;
};

}  // namespace foundation::testing
