#include "platform/mediaplayer/testing/fifo_guard.h"

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace mediaplayer::testing {

bool finishesWithoutAWriter(const std::string& fifoPath, const std::function<void()>& work,
                            std::chrono::milliseconds bound) {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool helped = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (finished.wait_for(lock, bound, [&] { return done; })) return;
    helped = true;
    // A reader blocked in open() goes on once a writer opens; closing gives it end of file.
    int writer = ::open(fifoPath.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  });
  work();
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_all();
  watchdog.join();
  return !helped;
}

}  // namespace mediaplayer::testing
