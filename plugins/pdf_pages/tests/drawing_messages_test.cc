// The host believes what its worker answers only when it is well formed: a document may have taken
// the worker over.
#include "plugins/pdf_pages/drawing_messages.h"

#include <gtest/gtest.h>

#include <cmath>

namespace pdf_pages {
namespace {

TEST(DrawingMessagesTest, AReadingIsBelievedOnlyWhenWellFormed) {
  const std::vector<uint8_t> message = encodeReading({{1, 612, 792}, {3, 100, 50}});
  auto pages = decodeReading(message);
  ASSERT_TRUE(pages.has_value());
  ASSERT_EQ(pages->size(), 2u);
  EXPECT_EQ((*pages)[1].number, 3u);
  EXPECT_EQ((*pages)[1].width, 100);
  EXPECT_EQ((*pages)[1].height, 50);
  EXPECT_EQ(decodeStatus(message), DrawingStatus::read);

  // Page numbers must rise from 1.
  EXPECT_FALSE(decodeReading(encodeReading({{0, 1, 1}})));
  EXPECT_FALSE(decodeReading(encodeReading({{2, 1, 1}, {2, 1, 1}})));
  // Sizes are finite and not negative.
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, -1.0, -1e-300}) {
    EXPECT_FALSE(decodeReading(encodeReading({{1, bad, 10}}))) << bad;
    EXPECT_FALSE(decodeReading(encodeReading({{1, 10, bad}, {2, 1, 1}}))) << bad;
  }
  EXPECT_TRUE(decodeReading(encodeReading({{1, 0, -0.0}})));
  // The count must be what the bytes hold, no more and no less.
  auto shorter = message;
  shorter.pop_back();
  EXPECT_FALSE(decodeReading(shorter));
  auto longer = message;
  longer.push_back(0);
  EXPECT_FALSE(decodeReading(longer));
  auto claims_more = message;
  claims_more[12] = 0xFF;
  EXPECT_FALSE(decodeReading(claims_more));
  // Any other status is a byte and its error count alone, and no reading.
  EXPECT_FALSE(decodeReading(encodeStatus(DrawingStatus::notADocument)));
  EXPECT_FALSE(decodeStatus({static_cast<uint8_t>(DrawingStatus::unlockFailed), 0}));
  EXPECT_EQ(decodeErrorCount(encodeStatus(DrawingStatus::drawn, 7)), 7u);
  EXPECT_FALSE(decodeStatus({static_cast<uint8_t>(DrawingStatus::unlockFailed) + 1}));
}

}  // namespace
}  // namespace pdf_pages
