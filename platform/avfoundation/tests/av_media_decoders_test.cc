// What the decoders FFmpeg opens for a media file may do: every one of them, the probe's
// included, gets the host's options (no picture larger than the host plays, one thread), even for
// streams a container announces only in its packets; and only the decoders the host plays are
// opened at all, so a decompression bomb in a still-image format is refused before it inflates.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/avfoundation/internal/media_file.h"
#include "platform/avfoundation/internal/stream_decoder.h"
#include "platform/avfoundation/tests/media_recipes.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace {

namespace av = avfoundation::testing;
using avfoundation::internal::MediaFile;

// The process's peak resident memory since the last reset. ThreadSanitizer's shadow is several
// times what the program touches, so the peak says nothing there.
#if defined(__SANITIZE_THREAD__)
constexpr bool kPeakMemoryIsTheProgramsOwn = false;
#else
constexpr bool kPeakMemoryIsTheProgramsOwn = true;
#endif

class PeakMemory {
 public:
  PeakMemory() {
    // The kernel sets the high-water mark back to what is resident now.
    std::ofstream("/proc/self/clear_refs") << "5";
    start_ = peakBytes();
  }
  uint64_t grownBy() const { return peakBytes() - start_; }

 private:
  static uint64_t peakBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
      uint64_t kilobytes = 0;
      if (key == "VmHWM:" && status >> kilobytes) return kilobytes * 1024;
    }
    return 0;
  }
  uint64_t start_;
};

// Opens the file as an asset does: nullptr and the error when it is not media the host plays.
std::unique_ptr<MediaFile> openMedia(const std::string& path, NSError* error) {
  return MediaFile::open(MediaFile::openFile(path, error), error);
}

TEST(MediaDecodersTest, StreamsAnnouncedOnlyInPacketsAreProbedWithinThePictureBound) {
  if (!kPeakMemoryIsTheProgramsOwn) GTEST_SKIP() << "the peak memory is the sanitizer's";
  // One 9000 x 9000 picture: decoded, 116 MiB, past the host's 8192 on a side. FLV announces
  // its streams only in its packets.
  constexpr uint64_t kPictureBytes = uint64_t{9000} * 9000 * 3 / 2;
  for (const char* codec : {"libx264", "flv1"}) {
    auto path = av::madeMedia(std::string("huge_late_") + codec + ".flv",
                              {"-f", "lavfi", "-i", "color=size=9000x9000", "-frames:v", "1",
                               "-c:v", codec});
    PeakMemory peak;
    NSError error;
    EXPECT_EQ(openMedia(path, &error), nullptr) << codec;
    EXPECT_EQ(error.code, -11828) << codec;
    // The probe's decoder refuses the picture before it makes it (H.264's tables of the
    // picture's blocks come first, about 40 MB).
    EXPECT_LT(peak.grownBy(), kPictureBytes) << codec;
  }
  // Such files of a size the host plays still play.
  auto small = av::madeMedia("small_late.flv", {"-f", "lavfi", "-i", "testsrc=size=320x240",
                                                "-frames:v", "10", "-c:v", "libx264"});
  NSError error;
  auto media = openMedia(small, &error);
  ASSERT_NE(media, nullptr) << error.localizedDescription;
  auto probe = media->probe();
  ASSERT_EQ(probe.tracks.size(), 1u);
  EXPECT_EQ(probe.tracks[0].naturalSize.width, 320);
  EXPECT_EQ(probe.tracks[0].naturalSize.height, 240);
}


// The picture of a file, made once with the ffmpeg tool from a plain colour of `size`.
std::string madePicture(const std::string& name, const char* size,
                        std::vector<std::string> encoding) {
  std::vector<std::string> all = {"-f", "lavfi", "-i", std::string("color=size=") + size,
                                  "-frames:v", "1"};
  all.insert(all.end(), encoding.begin(), encoding.end());
  return av::madeMedia(name, all);
}

TEST(MediaDecodersTest, StillPictureCodecsAreRefusedBeforeTheyInflate) {
  // A few hundred kilobytes that inflate to 108 MB (TIFF), 268 MB (EXR) or 36 MB (GIF) of
  // pixels, in containers the host reads: the host has no use for these decoders.
  const std::vector<std::pair<std::string, uint64_t>> bombs = {
      {madePicture("bomb_tiff.mov", "6000x6000", {"-c:v", "tiff", "-compression_algo", "deflate"}),
       uint64_t{6000} * 6000 * 3},
      {madePicture("bomb_exr.mkv", "4096x4096", {"-c:v", "exr", "-compression", "zip16"}),
       uint64_t{4096} * 4096 * 16},
      {madePicture("bomb_gif.mkv", "6000x6000", {"-c:v", "gif"}), uint64_t{6000} * 6000},
  };
  for (const auto& [path, inflated] : bombs) {
    PeakMemory peak;
    NSError error;
    EXPECT_EQ(openMedia(path, &error), nullptr) << path;
    EXPECT_EQ(error.code, -11828) << path;
    if (kPeakMemoryIsTheProgramsOwn) {
      EXPECT_LT(peak.grownBy(), inflated / 2) << path;
    }
  }
  // Nor are bare pictures media, whatever their name.
  for (const auto& [name, codec] : std::vector<std::pair<std::string, std::string>>{
           {"bare_png", "png"}, {"bare_tiff", "tiff"}, {"bare_exr", "exr"},
           {"bare_webp", "libwebp"}, {"bare_jpeg", "mjpeg"}, {"bare_gif", "gif"}}) {
    auto made = madePicture(name + ".img", "64x64", {"-c:v", codec, "-f", "image2"});
    auto path = av::writtenMedia(name + ".mp4", av::fileBytes(made));
    NSError error;
    EXPECT_EQ(openMedia(path, &error), nullptr) << name;
    EXPECT_EQ(error.code, -11828) << name;
  }
}

TEST(MediaDecodersTest, AStreamOfARefusedCodecLeavesTheOthersToPlay) {
  // A TIFF stream marked as the one to show, beside an H.264 one.
  auto path = av::madeMedia(
      "tiff_beside_h264.mkv",
      {"-f", "lavfi", "-i", "color=size=64x64:rate=5:duration=1", "-f", "lavfi", "-i",
       "testsrc=size=160x120:rate=5:duration=1", "-map", "0:v", "-map", "1:v", "-c:v:0", "tiff",
       "-c:v:1", "libx264", "-disposition:v:0", "default", "-disposition:v:1", "0"});
  NSError error;
  auto media = openMedia(path, &error);
  ASSERT_NE(media, nullptr) << error.localizedDescription;
  auto tracks = media->probe().tracks;
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(tracks[0].naturalSize.width, 160);
  auto decoder = avfoundation::internal::StreamDecoder::open(path, {});
  ASSERT_NE(decoder, nullptr);
  int frames = 0;
  while (auto frame = decoder->next()) {
    EXPECT_EQ(frame->frame->width, 160);
    ++frames;
  }
  EXPECT_EQ(frames, 5);
}

TEST(MediaDecodersTest, LosslessAndEditingVideoCodecsStillPlay) {
  // Motion-picture codecs of capture, editing and archiving, which FFmpeg played before the
  // decoders were narrowed to what the host plays.
  for (const auto& [name, encoding] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"ffv1.mkv", {"-c:v", "ffv1"}},
           {"huffyuv.avi", {"-c:v", "huffyuv", "-pix_fmt", "yuv422p"}},
           {"ffvhuff.mkv", {"-c:v", "ffvhuff"}},
           {"utvideo.mkv", {"-c:v", "utvideo"}},
           {"qtrle.mov", {"-c:v", "qtrle"}},
           {"dv.mov", {"-c:v", "dvvideo", "-s", "720x480", "-pix_fmt", "yuv411p", "-r", "30000/1001"}},
           {"cinepak.mov", {"-c:v", "cinepak"}},
           {"svq1.mov", {"-c:v", "svq1"}}}) {
    auto path = av::madeMedia("editing_" + name,
                              [&] {
                                std::vector<std::string> all = {
                                    "-f", "lavfi", "-i", "testsrc=size=160x120:rate=5:duration=1"};
                                all.insert(all.end(), encoding.begin(), encoding.end());
                                return all;
                              }());
    NSError error;
    auto media = openMedia(path, &error);
    ASSERT_NE(media, nullptr) << name << ": " << error.localizedDescription;
    auto decoder = avfoundation::internal::StreamDecoder::open(path, {});
    ASSERT_NE(decoder, nullptr) << name;
    int frames = 0;
    while (auto frame = decoder->next()) ++frames;
    EXPECT_GT(frames, 0) << name;
  }
}

TEST(MediaDecodersTest, AMotionJpegFrameDeclaringAHugePictureIsRefusedBeforeItIsMade) {
  // Motion JPEG plays; each frame declares its own size, which the decoder checks against the
  // host's bound before it makes the picture. 64 x 64 frames, each made to declare 12000 x 12000
  // (432 MB decoded; within FFmpeg's own limit, past the host's).
  auto made = av::madeMedia("mjpeg_small.avi", {"-f", "lavfi", "-i", "testsrc=size=64x64:rate=5",
                                                "-frames:v", "5", "-c:v", "mjpeg"});
  auto bytes = av::fileBytes(made);
  int patched = 0;
  // A baseline frame header: FF C0, its length (2 bytes), precision (1), height (2), width (2).
  for (size_t at = 0; at + 9 <= bytes.size(); ++at) {
    if (bytes[at] == 0xFF && bytes[at + 1] == 0xC0 && bytes[at + 5] == 0 && bytes[at + 6] == 64 &&
        bytes[at + 7] == 0 && bytes[at + 8] == 64) {
      bytes[at + 5] = bytes[at + 7] = 12000 >> 8;
      bytes[at + 6] = bytes[at + 8] = 12000 & 0xFF;
      ++patched;
    }
  }
  ASSERT_EQ(patched, 5);
  auto path = av::writtenMedia("mjpeg_declares_huge.avi", bytes);
  PeakMemory peak;
  auto decoder = avfoundation::internal::StreamDecoder::open(path, {});
  int frames = 0;
  while (decoder && decoder->next()) ++frames;
  EXPECT_EQ(frames, 0);
  if (kPeakMemoryIsTheProgramsOwn) {
    EXPECT_LT(peak.grownBy(), uint64_t{64} << 20);
  }
}

}  // namespace
