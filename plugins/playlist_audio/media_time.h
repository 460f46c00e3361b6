// Conversions between media times and the whole milliseconds and microseconds the player reports.
// They never overflow: NaN, invalid and indefinite times read as 0 and the infinities saturate.
#pragma once

#include <cstdint>

#include "platform/avfoundation/cm_time.h"

namespace playlist_audio {

inline constexpr CMTimeScale kMicrosecondTimescale = 1000000;

CMTime timeFromMicroseconds(int64_t microseconds);
// Seconds × 1000, truncated toward zero, saturated to the 32-bit range.
int32_t millisecondsFromTime(CMTime time);
// Whether the time is a finite number of seconds.
bool isFiniteTime(CMTime time);

}  // namespace playlist_audio
