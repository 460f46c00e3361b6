// How a timer that stands in for the display's refresh times a period given in seconds.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>

namespace quartzcore {

// A period that cannot be timed (zero, negative, not a number) falls back to 60 Hz; none is
// shorter than a millisecond or longer than a second, so a bad setting cannot make a timer spin.
inline std::chrono::steady_clock::duration refreshTimerPeriod(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0) seconds = 1.0 / 60.0;
  seconds = std::min(std::max(seconds, 0.001), 1.0);
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds));
}

}  // namespace quartzcore
