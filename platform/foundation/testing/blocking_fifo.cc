#include "platform/foundation/testing/blocking_fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation::testing {

BlockingFifo::BlockingFifo(std::string path, std::chrono::milliseconds bound)
    : path_(std::move(path)) {
  created_ = ::mkfifo(path_.c_str(), 0600) == 0;
  if (created_) watchdog_ = std::thread([this, bound] { watch(bound); });
}

BlockingFifo::~BlockingFifo() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (watchdog_.joinable()) watchdog_.join();
  if (created_) ::unlink(path_.c_str());
}

bool BlockingFifo::rescued() {
  std::lock_guard lock(mutex_);
  return rescued_;
}

void BlockingFifo::watch(std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  if (stop_.wait_for(lock, bound, [this] { return stopping_; })) return;
  // Someone may be stuck opening the FIFO: a writer that opens without waiting succeeds only then.
  while (!stopping_) {
    int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      rescued_ = true;
      ::close(fd);
    }
    stop_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stopping_; });
  }
}

}  // namespace foundation::testing
