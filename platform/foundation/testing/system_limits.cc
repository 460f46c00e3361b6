#include "platform/foundation/testing/system_limits.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace foundation::testing {

FileSizeLimit::FileSizeLimit(uint64_t bytes) {
  if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  if (::sigaction(SIGXFSZ, &ignore, &saved_action_) != 0) return;
  rlimit lowered = saved_;
  lowered.rlim_cur = std::min<rlim_t>(saved_.rlim_max, bytes);
  active_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
}

FileSizeLimit::~FileSizeLimit() {
  ::setrlimit(RLIMIT_FSIZE, &saved_);
  ::sigaction(SIGXFSZ, &saved_action_, nullptr);
}

DescriptorLimit::DescriptorLimit(rlim_t soft) {
  if (::getrlimit(RLIMIT_NOFILE, &saved_) != 0) return;
  rlimit lowered = saved_;
  lowered.rlim_cur = std::min(saved_.rlim_max, soft);
  active_ = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
}

DescriptorLimit::~DescriptorLimit() {
  if (active_) ::setrlimit(RLIMIT_NOFILE, &saved_);
}

DescriptorsExhausted::DescriptorsExhausted(rlim_t limit) {
  if (::getrlimit(RLIMIT_NOFILE, &saved_) != 0) return;
  rlimit lowered = saved_;
  lowered.rlim_cur = std::min(saved_.rlim_cur, limit);
  if (::setrlimit(RLIMIT_NOFILE, &lowered) != 0) return;
  for (;;) {
    int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) break;
    held_.push_back(fd);
  }
}

DescriptorsExhausted::~DescriptorsExhausted() {
  release(held_.size());
  ::setrlimit(RLIMIT_NOFILE, &saved_);
}

void DescriptorsExhausted::release(size_t count) {
  for (; count > 0 && !held_.empty(); --count) {
    ::close(held_.back());
    held_.pop_back();
  }
}

}  // namespace foundation::testing
