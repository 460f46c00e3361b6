#include "plugins/playlist_audio/media_time.h"

#include <cmath>
#include <limits>

namespace playlist_audio {

CMTime timeFromMicroseconds(int64_t microseconds) {
  return CMTimeMake(microseconds, kMicrosecondTimescale);
}

int32_t millisecondsFromTime(CMTime time) {
  double milliseconds = CMTimeGetSeconds(time) * 1000.0;
  if (std::isnan(milliseconds)) return 0;
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  if (milliseconds >= kMax) return std::numeric_limits<int32_t>::max();
  if (milliseconds <= kMin) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::trunc(milliseconds));
}

bool isFiniteTime(CMTime time) { return std::isfinite(CMTimeGetSeconds(time)); }

}  // namespace playlist_audio
