#include "platform/flutter/wake_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace flutter {

WakeSignal::WakeSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!fd_) throw std::runtime_error(std::string("eventfd failed: ") + std::strerror(errno));
}

void WakeSignal::notify() {
  uint64_t one = 1;
  // Fails only when the counter is saturated, which leaves it readable all the same.
  [[maybe_unused]] auto written = ::write(fd_.get(), &one, sizeof(one));
}

void WakeSignal::clear() {
  uint64_t count;
  [[maybe_unused]] auto read = ::read(fd_.get(), &count, sizeof(count));
}

}  // namespace flutter
