// The scaler stores past the end of a row in whole vector registers for some widths and formats,
// and libswscale is not instrumented: a destination laid out as the converter lays out its pixel
// buffers must hold every byte it writes. A canary right past that size catches what the
// sanitizers cannot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "platform/avfoundation/internal/bgra_converter.h"
#include "platform/avfoundation/internal/stream_decoder.h"
#include "platform/avfoundation/tests/media_recipes.h"

namespace {

using avfoundation::internal::BGRAConverter;
using avfoundation::internal::StreamDecoder;
using avfoundation::internal::StreamKind;
using avfoundation::testing::madeMedia;

constexpr uint8_t kCanary = 0xA5;
constexpr size_t kCanaryBytes = 4096;

struct Picture {
  std::string name;  // of the file made
  std::string size;  // WxH
  std::vector<std::string> encoding;
};

std::string fileOf(const Picture& picture) {
  std::vector<std::string> arguments = {"-f", "lavfi", "-i",
                                        "testsrc2=size=" + picture.size + ":rate=1:duration=1",
                                        "-frames:v", "1"};
  arguments.insert(arguments.end(), picture.encoding.begin(), picture.encoding.end());
  return madeMedia("convert_" + picture.name, arguments);
}

// Converts the file's first picture into a destination of exactly the pixel buffer's size with a
// canary behind it, checks that the canary holds and that the rows are the pixel buffer's.
void convertsWithinItsBuffer(const Picture& picture) {
  SCOPED_TRACE(picture.name + " " + picture.size);
  auto decoder = StreamDecoder::open(fileOf(picture), {StreamKind::kVideo, nullptr, 0});
  ASSERT_NE(decoder, nullptr);
  auto decoded = decoder->next();
  ASSERT_TRUE(decoded.has_value());
  const AVFrame& frame = *decoded->frame;

  BGRAConverter converter;
  CVPixelBufferRef buffer = converter.convert(frame);
  ASSERT_NE(buffer, nullptr);
  ASSERT_EQ(buffer->width(), static_cast<size_t>(frame.width));
  ASSERT_GE(buffer->bytesPerRow(), buffer->width() * 4);
  ASSERT_GE(buffer->allocationSize(), buffer->dataSize());

  std::vector<uint8_t> guarded(buffer->allocationSize() + kCanaryBytes, kCanary);
  ASSERT_TRUE(
      converter.convert(frame, guarded.data(), buffer->bytesPerRow(), buffer->allocationSize()));
  const auto tail = guarded.begin() + static_cast<std::ptrdiff_t>(buffer->allocationSize());
  const auto touched = std::find_if(tail, guarded.end(), [](uint8_t b) { return b != kCanary; });
  EXPECT_EQ(touched, guarded.end()) << "written " << (touched - tail) << " bytes past the buffer";

  std::vector<uint8_t> packed;
  ASSERT_TRUE(converter.convert(frame, &packed));
  ASSERT_EQ(packed.size(), buffer->width() * buffer->height() * 4);
  const size_t row = buffer->width() * 4;
  for (size_t y = 0; y < buffer->height(); ++y) {
    const uint8_t* shown = buffer->baseAddress() + y * buffer->bytesPerRow();
    ASSERT_EQ(std::memcmp(shown, guarded.data() + y * buffer->bytesPerRow(), row), 0) << "row " << y;
    ASSERT_EQ(std::memcmp(shown, packed.data() + y * row, row), 0) << "packed row " << y;
  }
}

TEST(BGRAConverterTest, H264PicturesOfEveryShapeStayWithinTheirBuffer) {
  // Widths a multiple of 8 but not of 16, the narrowest ones, tall and wide strips, phone sizes.
  for (const char* size : {"2x2", "4x4", "8x8", "24x24", "200x200", "200x6", "1000x16", "8x1000",
                           "2x1000", "2x8192", "8192x2", "360x640", "1000x1000", "1080x1920",
                           "16x16", "100x100"}) {
    convertsWithinItsBuffer({std::string("h264_") + size + ".mp4", size,
                             {"-c:v", "libx264", "-pix_fmt", "yuv420p"}});
  }
}

TEST(BGRAConverterTest, PicturesOfOtherCodecsAndSamplingsStayWithinTheirBuffer) {
  for (const char* size : {"24x24", "2x2", "200x6"}) {
    const std::string at = size;
    convertsWithinItsBuffer({"h264_422_" + at + ".mp4", at,
                             {"-c:v", "libx264", "-pix_fmt", "yuv422p"}});
    convertsWithinItsBuffer({"h264_444_" + at + ".mp4", at,
                             {"-c:v", "libx264", "-pix_fmt", "yuv444p"}});
    convertsWithinItsBuffer({"h264_10bit_" + at + ".mp4", at,
                             {"-c:v", "libx264", "-pix_fmt", "yuv420p10le"}});
    convertsWithinItsBuffer({"mjpeg_" + at + ".avi", at,
                             {"-c:v", "mjpeg", "-pix_fmt", "yuvj420p"}});
    convertsWithinItsBuffer({"vp9_" + at + ".webm", at,
                             {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p"}});
  }
  // Odd sizes, which 4:2:0 H.264 cannot have.
  convertsWithinItsBuffer({"mjpeg_25x25.avi", "25x25", {"-c:v", "mjpeg", "-pix_fmt", "yuvj420p"}});
  convertsWithinItsBuffer({"vp9_25x7.webm", "25x7", {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p"}});
}

TEST(BGRAConverterTest, RawPicturesOfEveryLayoutStayWithinTheirBuffer) {
  for (const char* format : {"yuv420p", "nv12", "nv21", "yuyv422", "uyvy422", "yuv411p",
                             "yuv410p", "yuv440p", "yuva420p", "p010le", "gray", "gray16le",
                             "rgb24", "bgr24", "rgba", "argb", "rgb565le", "pal8", "monob",
                             "gbrp"}) {
    for (const char* size : {"8x8", "24x4", "200x6", "36x2"}) {
      convertsWithinItsBuffer({std::string("raw_") + format + "_" + size + ".nut", size,
                               {"-c:v", "rawvideo", "-pix_fmt", format}});
    }
  }
}

TEST(BGRAConverterTest, ADestinationSmallerThanItsLayoutIsRefused) {
  auto decoder = StreamDecoder::open(fileOf({"h264_24x24.mp4", "24x24", {"-c:v", "libx264"}}),
                                     {StreamKind::kVideo, nullptr, 0});
  ASSERT_NE(decoder, nullptr);
  auto decoded = decoder->next();
  ASSERT_TRUE(decoded.has_value());
  BGRAConverter converter;
  CVPixelBufferRef buffer = converter.convert(*decoded->frame);
  ASSERT_NE(buffer, nullptr);
  std::vector<uint8_t> destination(buffer->allocationSize(), kCanary);
  // One byte short, or rows closer together than a row of pixels.
  EXPECT_FALSE(converter.convert(*decoded->frame, destination.data(), buffer->bytesPerRow(),
                                 destination.size() - 1));
  EXPECT_FALSE(converter.convert(*decoded->frame, destination.data(), 24 * 4 - 4,
                                 destination.size()));
  EXPECT_TRUE(std::all_of(destination.begin(), destination.end(),
                          [](uint8_t b) { return b == kCanary; }));
}

}  // namespace
