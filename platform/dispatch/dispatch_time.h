// Dispatch times: nanoseconds on the monotonic clock.
#pragma once

#include <chrono>
#include <cstdint>

using dispatch_time_t = uint64_t;

inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~uint64_t{0};
inline constexpr int64_t NSEC_PER_SEC = 1'000'000'000;
inline constexpr int64_t NSEC_PER_MSEC = 1'000'000;
inline constexpr int64_t NSEC_PER_USEC = 1'000;

// A time `delta` nanoseconds after `when` (DISPATCH_TIME_NOW means now).
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);

namespace dispatch {
using Clock = std::chrono::steady_clock;
Clock::time_point toTimePoint(dispatch_time_t when);
}  // namespace dispatch
