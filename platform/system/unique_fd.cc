#include "platform/system/unique_fd.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace libsystem {

int UniqueFd::release() { return std::exchange(fd_, -1); }

void UniqueFd::reset(int fd) {
  if (fd == fd_) return;
  const int held = std::exchange(fd_, fd < 0 ? -1 : fd);
  if (held < 0) return;
  const int saved = errno;
  ::close(held);
  errno = saved;
}

bool UniqueFd::close() {
  const int held = std::exchange(fd_, -1);
  return held >= 0 && ::close(held) == 0;
}

}  // namespace libsystem
