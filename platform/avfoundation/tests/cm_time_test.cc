#include "platform/avfoundation/cm_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(CMTimeTest, ArithmeticPropagatesSpecialTimes) {
  EXPECT_TRUE(CMTIME_IS_INVALID(CMTimeAdd(kCMTimeInvalid, kCMTimeZero)));
  EXPECT_TRUE(CMTIME_IS_INDEFINITE(CMTimeAdd(kCMTimeIndefinite, CMTimeMake(1, 1))));
  EXPECT_TRUE(CMTIME_IS_POSITIVE_INFINITY(CMTimeAdd(kCMTimePositiveInfinity, CMTimeMake(5, 1))));
  EXPECT_TRUE(CMTIME_IS_INVALID(CMTimeAdd(kCMTimePositiveInfinity, kCMTimeNegativeInfinity)));
  EXPECT_TRUE(CMTIME_IS_NEGATIVE_INFINITY(CMTimeSubtract(CMTimeMake(1, 1), kCMTimePositiveInfinity)));
  EXPECT_TRUE(std::isnan(CMTimeGetSeconds(kCMTimeInvalid)));
  EXPECT_TRUE(CMTIME_IS_INVALID(CMTimeMakeWithSeconds(std::nan(""), 600)));
}

TEST(CMTimeTest, MixedTimescalesAddAndCompareWithoutOverflow) {
  CMTime sum = CMTimeAdd(CMTimeMake(1, 3), CMTimeMake(1, 1000000));
  EXPECT_EQ(sum.timescale, 3000000);
  EXPECT_EQ(sum.value, 1000003);
  CMTime huge = CMTimeMake(std::numeric_limits<int64_t>::max(), 1);
  EXPECT_TRUE(CMTIME_IS_POSITIVE_INFINITY(CMTimeAdd(huge, huge)));
  EXPECT_EQ(CMTimeCompare(CMTimeMake(std::numeric_limits<int64_t>::max(), 1000000000),
                          CMTimeMake(std::numeric_limits<int64_t>::max(), 999999999)),
            -1);
  EXPECT_EQ(CMTimeCompare(CMTimeMake(600, 600), CMTimeMake(1000000, 1000000)), 0);
  EXPECT_EQ(CMTimeCompare(kCMTimeInvalid, kCMTimeNegativeInfinity), -1);
  EXPECT_EQ(CMTimeCompare(kCMTimePositiveInfinity, kCMTimeIndefinite), -1);
}

}  // namespace
