// A span of media time: a start and a duration.
#pragma once

#include "platform/avfoundation/cm_time.h"

struct CMTimeRange {
  CMTime start = kCMTimeInvalid;
  CMTime duration = kCMTimeInvalid;
};

inline constexpr CMTimeRange kCMTimeRangeZero{kCMTimeZero, kCMTimeZero};
inline constexpr CMTimeRange kCMTimeRangeInvalid{kCMTimeInvalid, kCMTimeInvalid};

inline CMTimeRange CMTimeRangeMake(CMTime start, CMTime duration) { return {start, duration}; }
inline CMTime CMTimeRangeGetEnd(CMTimeRange range) { return CMTimeAdd(range.start, range.duration); }
