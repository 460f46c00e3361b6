// A FIFO with no writer, for tests that a path from a caller is never opened in a way that waits.
//
// Opening it for reading blocks until a writer comes. If the code under test does that, the
// watchdog thread opens the other end after `bound`, so the test ends with a failure instead of
// hanging; rescued() then tells that it had to.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace foundation::testing {

class BlockingFifo {
 public:
  explicit BlockingFifo(std::string path,
                        std::chrono::milliseconds bound = std::chrono::milliseconds(5000));
  ~BlockingFifo();
  BlockingFifo(const BlockingFifo&) = delete;
  BlockingFifo& operator=(const BlockingFifo&) = delete;

  const std::string& path() const { return path_; }
  bool created() const { return created_; }
  // True when a reader blocked on the FIFO past the bound and had to be let go.
  bool rescued();

 private:
  void watch(std::chrono::milliseconds bound);

  std::string path_;
  bool created_ = false;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  bool rescued_ = false;
  std::thread watchdog_;
};

}  // namespace foundation::testing
