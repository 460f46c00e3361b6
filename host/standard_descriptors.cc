#include "host/standard_descriptors.h"

#include <fcntl.h>

#include <cerrno>

namespace host {

void openMissingStandardDescriptors() {
  // In order, so that each open takes the lowest free descriptor: the one missing.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Not close-on-exec: children get /dev/null as their standard stream too.
    if (::open("/dev/null", O_RDWR) != fd) return;
  }
}

}  // namespace host
