#include "platform/webrtc/testing/bounded_wait.h"

#include <cstdio>
#include <cstdlib>

namespace webrtc::testing {

void waitOrAbort(const dispatch_semaphore_t& semaphore, const char* what) {
  const auto bound = std::chrono::duration_cast<std::chrono::nanoseconds>(kControlWaitBound);
  if (dispatch_semaphore_wait(semaphore, dispatch_time(DISPATCH_TIME_NOW, bound.count())) == 0) {
    return;
  }
  std::fprintf(stderr, "test control: %s did not finish within %lld s\n", what,
               static_cast<long long>(kControlWaitBound.count()));
  std::abort();
}

void runOnQueueAndWait(const dispatch_queue_t& queue, std::function<void()> block,
                       const char* what) {
  auto done = dispatch_semaphore_create(0);
  dispatch_async(queue, [block = std::move(block), done] {
    if (block) block();
    dispatch_semaphore_signal(done);
  });
  waitOrAbort(done, what);
}

}  // namespace webrtc::testing
