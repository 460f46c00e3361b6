// FFmpeg running out of memory while it decodes is told as what it is, not as a damaged file.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/mem.h>
}

#include "platform/avfoundation/internal/stream_decoder.h"
#include "platform/avfoundation/tests/media_recipes.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

bool anyLineSays(const std::vector<std::string>& lines, const std::string& words) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(words) != std::string::npos; });
}

TEST(DecoderMemoryTest, ADecoderOutOfMemorySaysSoInsteadOfBlamingTheFile) {
  using avfoundation::internal::StreamDecoder;
  using avfoundation::internal::StreamKind;
  // Pictures of 1 MiB each, in packets of a few hundred bytes.
  auto path = avfoundation::testing::madeMedia(
      "memory_png.mkv", {"-f", "lavfi", "-i", "color=c=red:size=512x512:rate=5:duration=1",
                         "-pix_fmt", "rgba", "-c:v", "png"});
  auto decoder = StreamDecoder::open(path, {StreamKind::kVideo, nullptr, 0});
  ASSERT_NE(decoder, nullptr);
  foundation::testing::setLogCapture(true);
  // FFmpeg's own allocations fail beyond this: its packets fit, its pictures do not.
  av_max_alloc(256 * 1024);
  auto decoded = decoder->next();
  av_max_alloc(std::numeric_limits<int>::max());
  EXPECT_FALSE(decoded.has_value());
  auto lines = foundation::testing::takeLogLines();
  EXPECT_TRUE(anyLineSays(lines, "memory ran out"));
  EXPECT_FALSE(anyLineSays(lines, "damaged"));
  EXPECT_EQ(decoder->damagedPackets(), 0);
  foundation::testing::setLogCapture(false);
}

}  // namespace
