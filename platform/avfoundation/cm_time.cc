#include "platform/avfoundation/cm_time.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>

namespace {

using Wide = __int128;

constexpr Wide kMaxValue = std::numeric_limits<CMTimeValue>::max();
constexpr Wide kMinValue = std::numeric_limits<CMTimeValue>::min();

bool has(CMTime time, uint32_t flag) { return (time.flags & flag) != 0; }

// A numeric time from a wide value, or the infinity of its sign when it does not fit.
CMTime fromWide(Wide value, CMTimeScale timescale, uint32_t extraFlags) {
  if (value > kMaxValue) return kCMTimePositiveInfinity;
  if (value < kMinValue) return kCMTimeNegativeInfinity;
  return CMTime{static_cast<CMTimeValue>(value), timescale, kCMTimeFlags_Valid | extraFlags, 0};
}

// value * to / from, rounded half away from zero.
Wide rescale(Wide value, Wide from, Wide to, bool* rounded) {
  Wide scaled = value * to;
  Wide quotient = scaled / from;
  Wide remainder = scaled % from;
  if (remainder != 0) {
    *rounded = true;
    Wide twice = remainder < 0 ? -remainder * 2 : remainder * 2;
    if (twice >= from) quotient += scaled < 0 ? -1 : 1;
  }
  return quotient;
}

// Rank of the non-numeric kinds in the comparison order; numbers rank 2.
int rank(CMTime time) {
  if (!CMTIME_IS_VALID(time)) return 0;
  if (has(time, kCMTimeFlags_NegativeInfinity)) return 1;
  if (has(time, kCMTimeFlags_PositiveInfinity)) return 3;
  if (has(time, kCMTimeFlags_Indefinite)) return 4;
  return 2;
}

CMTimeScale commonTimescale(CMTimeScale a, CMTimeScale b) {
  if (a == b) return a;
  Wide lcm = static_cast<Wide>(a) / std::gcd(a, b) * b;
  return lcm <= kCMTimeMaxTimescale ? static_cast<CMTimeScale>(lcm) : std::max(a, b);
}

}  // namespace

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale) {
  if (timescale <= 0) return kCMTimeInvalid;
  return CMTime{value, timescale, kCMTimeFlags_Valid, 0};
}

CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale preferredTimescale) {
  if (std::isnan(seconds) || preferredTimescale <= 0) return kCMTimeInvalid;
  if (std::isinf(seconds)) return seconds > 0 ? kCMTimePositiveInfinity : kCMTimeNegativeInfinity;
  long double scaled = std::round(static_cast<long double>(seconds) * preferredTimescale);
  if (scaled >= 9.2233720368547758e18L) return kCMTimePositiveInfinity;
  if (scaled <= -9.2233720368547758e18L) return kCMTimeNegativeInfinity;
  return CMTimeMake(static_cast<CMTimeValue>(scaled), preferredTimescale);
}

double CMTimeGetSeconds(CMTime time) {
  switch (rank(time)) {
    case 1:
      return -std::numeric_limits<double>::infinity();
    case 3:
      return std::numeric_limits<double>::infinity();
    case 2:
      return static_cast<double>(time.value) / time.timescale;
    default:
      return std::numeric_limits<double>::quiet_NaN();
  }
}

bool CMTIME_IS_VALID(CMTime time) { return has(time, kCMTimeFlags_Valid); }
bool CMTIME_IS_INVALID(CMTime time) { return !CMTIME_IS_VALID(time); }
bool CMTIME_IS_INDEFINITE(CMTime time) { return rank(time) == 4; }
bool CMTIME_IS_POSITIVE_INFINITY(CMTime time) { return rank(time) == 3; }
bool CMTIME_IS_NEGATIVE_INFINITY(CMTime time) { return rank(time) == 1; }
bool CMTIME_IS_NUMERIC(CMTime time) { return rank(time) == 2 && time.timescale > 0; }

CMTime CMTimeAdd(CMTime lhs, CMTime rhs) {
  if (CMTIME_IS_INVALID(lhs) || CMTIME_IS_INVALID(rhs)) return kCMTimeInvalid;
  if (CMTIME_IS_INDEFINITE(lhs) || CMTIME_IS_INDEFINITE(rhs)) return kCMTimeIndefinite;
  bool positive = CMTIME_IS_POSITIVE_INFINITY(lhs) || CMTIME_IS_POSITIVE_INFINITY(rhs);
  bool negative = CMTIME_IS_NEGATIVE_INFINITY(lhs) || CMTIME_IS_NEGATIVE_INFINITY(rhs);
  if (positive && negative) return kCMTimeInvalid;
  if (positive) return kCMTimePositiveInfinity;
  if (negative) return kCMTimeNegativeInfinity;
  CMTimeScale timescale = commonTimescale(lhs.timescale, rhs.timescale);
  bool rounded = has(lhs, kCMTimeFlags_HasBeenRounded) || has(rhs, kCMTimeFlags_HasBeenRounded);
  Wide sum = rescale(lhs.value, lhs.timescale, timescale, &rounded) +
             rescale(rhs.value, rhs.timescale, timescale, &rounded);
  return fromWide(sum, timescale, rounded ? uint32_t{kCMTimeFlags_HasBeenRounded} : 0u);
}

CMTime CMTimeSubtract(CMTime lhs, CMTime rhs) {
  if (CMTIME_IS_POSITIVE_INFINITY(rhs)) rhs = kCMTimeNegativeInfinity;
  else if (CMTIME_IS_NEGATIVE_INFINITY(rhs)) rhs = kCMTimePositiveInfinity;
  else if (CMTIME_IS_NUMERIC(rhs)) {
    if (rhs.value == std::numeric_limits<CMTimeValue>::min()) {
      // Its negation does not fit: add one unit, subtract the rest.
      return CMTimeAdd(CMTimeAdd(lhs, CMTimeMake(kMaxValue, rhs.timescale)),
                       CMTimeMake(1, rhs.timescale));
    }
    rhs.value = -rhs.value;
  }
  return CMTimeAdd(lhs, rhs);
}

CMTime CMTimeConvertScale(CMTime time, CMTimeScale timescale) {
  if (!CMTIME_IS_NUMERIC(time) || timescale <= 0) return time;
  bool rounded = has(time, kCMTimeFlags_HasBeenRounded);
  Wide value = rescale(time.value, time.timescale, timescale, &rounded);
  return fromWide(value, timescale, rounded ? uint32_t{kCMTimeFlags_HasBeenRounded} : 0u);
}

int32_t CMTimeCompare(CMTime lhs, CMTime rhs) {
  int left = rank(lhs), right = rank(rhs);
  if (left != right) return left < right ? -1 : 1;
  if (left != 2) return 0;
  Wide a = static_cast<Wide>(lhs.value) * rhs.timescale;
  Wide b = static_cast<Wide>(rhs.value) * lhs.timescale;
  return a < b ? -1 : (a > b ? 1 : 0);
}

CMTime CMTimeMinimum(CMTime lhs, CMTime rhs) { return CMTimeCompare(lhs, rhs) <= 0 ? lhs : rhs; }
CMTime CMTimeMaximum(CMTime lhs, CMTime rhs) { return CMTimeCompare(lhs, rhs) >= 0 ? lhs : rhs; }
