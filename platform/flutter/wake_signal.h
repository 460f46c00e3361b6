// Wakes a thread that waits in poll(2): an eventfd that any thread may signal.
#pragma once

#include "platform/system/unique_fd.h"

namespace flutter {

class WakeSignal {
 public:
  WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  // Readable (POLLIN) from the first notify until clear.
  int fd() const { return fd_.get(); }
  void notify();
  void clear();

 private:
  libsystem::UniqueFd fd_;
};

}  // namespace flutter
