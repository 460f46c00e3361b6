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

// Decodes `path`'s first picture with FFmpeg's allocations capped below a picture's size: no
// picture comes, the log says memory ran out, and no packet is counted as damaged.
void expectMemoryToRunOutDecoding(const std::string& path) {
  using avfoundation::internal::StreamDecoder;
  using avfoundation::internal::StreamKind;
  auto decoder = StreamDecoder::open(path, {StreamKind::kVideo, nullptr, 0});
  ASSERT_NE(decoder, nullptr);
  foundation::testing::takeLogLines();
  av_max_alloc(256 * 1024);
  auto decoded = decoder->next();
  av_max_alloc(std::numeric_limits<int>::max());
  EXPECT_FALSE(decoded.has_value());
  auto lines = foundation::testing::takeLogLines();
  EXPECT_TRUE(anyLineSays(lines, "memory ran out"));
  EXPECT_FALSE(anyLineSays(lines, "damaged"));
  EXPECT_EQ(decoder->damagedPackets(), 0);
}

TEST(DecoderMemoryTest, ADecoderOutOfMemorySaysSoInsteadOfBlamingTheFile) {
  // Pictures of 1 MiB each, in packets of a few hundred bytes: its packets fit under the cap, its
  // pictures do not.
  auto path = avfoundation::testing::madeMedia(
      "memory_png.mkv", {"-f", "lavfi", "-i", "color=c=red:size=512x512:rate=5:duration=1",
                         "-pix_fmt", "rgba", "-c:v", "png"});
  foundation::testing::setLogCapture(true);
  expectMemoryToRunOutDecoding(path);
  foundation::testing::setLogCapture(false);
}

TEST(DecoderMemoryTest, ARefusedPictureIsToldByItsSizeOrMemoryBeforeBlamingTheFile) {
  using avfoundation::internal::StreamDecoder;
  using avfoundation::internal::StreamKind;
  namespace av = avfoundation::testing;
  foundation::testing::setLogCapture(true);
  {
    // An undamaged H.264 stream whose pictures cannot be had: its decoder calls the failure bad
    // data, yet memory is what ran out.
    auto path = av::madeMedia("memory_h264.mkv",
                              {"-f", "lavfi", "-i", "testsrc2=size=1024x1024:rate=5:duration=1",
                               "-c:v", "libx264", "-pix_fmt", "yuv420p"});
    expectMemoryToRunOutDecoding(path);
  }
  {
    // A stream whose pictures grow past the widest the host plays: the size is the reason.
    auto small = av::madeMedia("growing_small.h264",
                               {"-f", "lavfi", "-i", "testsrc2=size=16x16:rate=5:duration=1",
                                "-c:v", "libx264", "-pix_fmt", "yuv420p", "-f", "h264"});
    auto wide = av::madeMedia("growing_wide.h264",
                              {"-f", "lavfi", "-i", "testsrc2=size=8704x16:rate=5:duration=1",
                               "-c:v", "libx264", "-pix_fmt", "yuv420p", "-f", "h264"});
    auto bytes = av::fileBytes(small);
    auto more = av::fileBytes(wide);
    bytes.insert(bytes.end(), more.begin(), more.end());
    auto decoder =
        StreamDecoder::open(av::writtenMedia("growing.h264", bytes), {StreamKind::kVideo, nullptr, 0});
    ASSERT_NE(decoder, nullptr);
    foundation::testing::takeLogLines();
    int shown = 0;
    while (decoder->next() && shown < 100) ++shown;
    EXPECT_EQ(shown, 5);
    auto lines = foundation::testing::takeLogLines();
    EXPECT_TRUE(anyLineSays(lines, "a picture of 8704x16 is larger than the host plays"));
    EXPECT_FALSE(anyLineSays(lines, "damaged"));
    EXPECT_EQ(decoder->damagedPackets(), 0);
  }
  foundation::testing::setLogCapture(false);
}

}  // namespace
