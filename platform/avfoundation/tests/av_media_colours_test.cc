// Pictures are converted to BGRA with the colour matrix and range their stream declares, as
// FFmpeg's own conversion (the ffmpeg tool's) converts them: BT.601, BT.709 and BT.2020, limited
// and full range, 8 and 10 bits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/avfoundation/tests/ffmpeg_reference.h"
#include "platform/avfoundation/tests/media_recipes.h"

namespace {

namespace av = avfoundation::testing;

struct Encoding {
  const char* matrix;  // as the ffmpeg tool names it
  const char* range;
  const char* pixels;
};

// Every matrix, range and depth, and a picture whose colour is not subsampled.
std::vector<Encoding> encodings() {
  std::vector<Encoding> all;
  for (const char* matrix : {"bt470bg", "bt709", "bt2020nc"}) {
    for (const char* range : {"tv", "pc"}) {
      for (const char* pixels : {"yuv420p", "yuv420p10le"}) all.push_back({matrix, range, pixels});
    }
  }
  all.push_back({"bt470bg", "pc", "yuv444p"});
  return all;
}

TEST(MediaColoursTest, PicturesAreConvertedWithTheMatrixAndRangeTheyDeclare) {
  for (const Encoding& encoding : encodings()) {
    std::string name = std::string("colours_") + encoding.matrix + "_" + encoding.range + "_" +
                       encoding.pixels;
    auto path = av::madeMedia(name + ".mkv",
                              {"-f", "lavfi", "-i", "smptehdbars=size=192x108", "-frames:v", "1",
                               "-c:v", "libx264", "-pix_fmt", encoding.pixels, "-colorspace",
                               encoding.matrix, "-color_range", encoding.range});
    auto converted = av::fileBytes(av::madeMedia(
        name + ".bgra", {"-i", path, "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "bgra"}));
    auto shown = ffmpegFrameAt(path, 0);
    ASSERT_TRUE(shown.has_value()) << name;
    ASSERT_EQ(shown->pixels.size(), converted.size()) << name;
    // Rounding aside, the same picture.
    int64_t total = 0;
    int largest = 0;
    for (size_t i = 0; i < converted.size(); ++i) {
      int error = std::abs(int{shown->pixels[i]} - int{converted[i]});
      total += error;
      largest = std::max(largest, error);
    }
    EXPECT_LE(static_cast<double>(total) / static_cast<double>(converted.size()), 0.5) << name;
    EXPECT_LE(largest, 4) << name;
  }
}

}  // namespace
