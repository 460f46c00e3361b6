// Set once the load a reading serves has ended (failed, replaced, or its web view gone): the
// reading then stops within a few kilobytes of the page, and what it read is not used.
#pragma once

#include <atomic>

namespace webkit {

class ReadingStop {
 public:
  void stop() { stopped_.store(true, std::memory_order_relaxed); }
  bool stopped() const { return stopped_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> stopped_{false};
};

}  // namespace webkit
