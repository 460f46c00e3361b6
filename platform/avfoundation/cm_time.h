// Media times: a rational number of seconds (value / timescale) with flags for the valid,
// infinite and indefinite cases. Arithmetic propagates those cases instead of producing numbers;
// comparison works across timescales without overflow.
#pragma once

#include <cstdint>

using CMTimeValue = int64_t;
using CMTimeScale = int32_t;
using CMTimeEpoch = int64_t;

enum CMTimeFlags : uint32_t {
  kCMTimeFlags_Valid = 1u << 0,
  kCMTimeFlags_HasBeenRounded = 1u << 1,
  kCMTimeFlags_PositiveInfinity = 1u << 2,
  kCMTimeFlags_NegativeInfinity = 1u << 3,
  kCMTimeFlags_Indefinite = 1u << 4,
};

// The largest timescale a result picks when its operands' timescales differ.
inline constexpr CMTimeScale kCMTimeMaxTimescale = 0x7fffffff;

struct CMTime {
  CMTimeValue value = 0;
  CMTimeScale timescale = 0;
  uint32_t flags = 0;
  CMTimeEpoch epoch = 0;
};

inline constexpr CMTime kCMTimeInvalid{0, 0, 0, 0};
inline constexpr CMTime kCMTimeZero{0, 1, kCMTimeFlags_Valid, 0};
inline constexpr CMTime kCMTimeIndefinite{0, 0, kCMTimeFlags_Valid | kCMTimeFlags_Indefinite, 0};
inline constexpr CMTime kCMTimePositiveInfinity{0, 0,
                                                kCMTimeFlags_Valid | kCMTimeFlags_PositiveInfinity, 0};
inline constexpr CMTime kCMTimeNegativeInfinity{0, 0,
                                                kCMTimeFlags_Valid | kCMTimeFlags_NegativeInfinity, 0};

// A timescale of 0 or below gives the invalid time.
CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale);
// NaN gives the invalid time, infinities the infinite times; magnitudes beyond the value range
// saturate to the infinities.
CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale preferredTimescale);
// NaN for invalid and indefinite times, ±infinity for the infinite ones.
double CMTimeGetSeconds(CMTime time);

bool CMTIME_IS_VALID(CMTime time);
bool CMTIME_IS_INVALID(CMTime time);
bool CMTIME_IS_INDEFINITE(CMTime time);
bool CMTIME_IS_POSITIVE_INFINITY(CMTime time);
bool CMTIME_IS_NEGATIVE_INFINITY(CMTime time);
// Valid and neither infinite nor indefinite.
bool CMTIME_IS_NUMERIC(CMTime time);

// Invalid if either is invalid; indefinite if either is indefinite; +∞ + −∞ is invalid; an
// infinity otherwise wins. Numeric results that overflow become the infinity of their sign.
CMTime CMTimeAdd(CMTime lhs, CMTime rhs);
CMTime CMTimeSubtract(CMTime lhs, CMTime rhs);
// The time in `timescale`, rounded half away from zero; non-numeric times are returned unchanged.
CMTime CMTimeConvertScale(CMTime time, CMTimeScale timescale);

// -1, 0 or 1. Order: invalid < −∞ < numbers < +∞ < indefinite; invalid equals invalid.
int32_t CMTimeCompare(CMTime lhs, CMTime rhs);
CMTime CMTimeMinimum(CMTime lhs, CMTime rhs);
CMTime CMTimeMaximum(CMTime lhs, CMTime rhs);

inline bool operator==(CMTime lhs, CMTime rhs) { return CMTimeCompare(lhs, rhs) == 0; }
