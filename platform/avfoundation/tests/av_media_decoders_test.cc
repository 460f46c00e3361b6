// What the decoders FFmpeg opens for a media file may do: every one of them, the probe's
// included, gets the host's options (no picture larger than the host plays, one thread), even for
// streams a container announces only in its packets; and only the decoders the host plays are
// opened at all, so a decompression bomb in a still-image format is refused before it inflates.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/avfoundation/internal/media_file.h"
#include "platform/avfoundation/tests/media_recipes.h"

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

}  // namespace
