// Test controls for the main queue: the test thread is the main thread and pumps it.
#pragma once

#include <chrono>
#include <functional>

namespace dispatch::testing {

// Runs main-queue blocks until `done` answers true or `timeout` passes. Answers `done()`.
bool runUntil(const std::function<bool()>& done,
              std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Runs main-queue blocks until the main queue is empty and no block is queued or running on any
// other queue (timers not yet due are not waited for). Answers false if that took over `timeout`.
bool drainUntilIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace dispatch::testing
