// Waits of the test controls: each has a bound, and a wait past it ends the test run with a line
// that names what never finished, rather than hanging it.
#pragma once

#include <chrono>
#include <functional>

#include "platform/dispatch/dispatch.h"

namespace webrtc::testing {

inline constexpr std::chrono::seconds kControlWaitBound{20};

// Waits for the semaphore; aborts the run past the bound.
void waitOrAbort(const dispatch_semaphore_t& semaphore, const char* what);
// Runs `block` on `queue` and waits for it, within the bound.
void runOnQueueAndWait(const dispatch_queue_t& queue, std::function<void()> block,
                       const char* what);

}  // namespace webrtc::testing
