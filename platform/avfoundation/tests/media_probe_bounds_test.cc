// What probing a file may hold does not grow with what the file holds: a probe decodes only the
// streams the host would play, and the probes of the process hold a bounded number of pictures
// however long some of them run.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavcodec/avcodec.h>
}

#include "platform/avfoundation/internal/ffmpeg_settings.h"
#include "platform/avfoundation/internal/media_file.h"
#include "platform/avfoundation/internal/media_probes.h"
#include "platform/avfoundation/internal/stream_decoder.h"
#include "platform/avfoundation/tests/media_recipes.h"
#include "platform/dispatch/testing/main_queue_pump.h"

namespace {

namespace av = avfoundation::testing;
using avfoundation::internal::MediaFile;
using avfoundation::internal::StreamDecoder;
using avfoundation::internal::StreamKind;
using dispatch::testing::runUntil;

// Restarts the process's peak resident size at what it holds now.
bool resetPeakMemory() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5"); }

// The process's peak resident size since the last reset, in bytes.
int64_t peakMemory() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    int64_t kilobytes = 0;
    if (key == "VmHWM:" && status >> kilobytes) return kilobytes * 1024;
  }
  return -1;
}

int64_t residentMemory() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    int64_t kilobytes = 0;
    if (key == "VmRSS:" && status >> kilobytes) return kilobytes * 1024;
  }
  return -1;
}

// A Matroska file of `tracks` video tracks, each one PNG picture of `side` x `side` RGBA.
std::string pngTracks(const std::string& name, int tracks, int side) {
  auto picture = av::madeMedia(
      name + ".png", {"-f", "lavfi", "-i", "testsrc2=size=" + std::to_string(side) + "x" +
                                               std::to_string(side),
                      "-frames:v", "1", "-pix_fmt", "rgba", "-c:v", "png", "-f", "image2"});
  std::vector<std::string> arguments = {"-framerate", "1", "-i", picture};
  for (int i = 0; i < tracks; ++i) arguments.insert(arguments.end(), {"-map", "0"});
  arguments.insert(arguments.end(), {"-c", "copy"});
  return av::madeMedia(name, arguments);
}

// Streams whose pixel format the probe found out: a PNG stream's is known only once decoded.
int decodedStreams(const MediaFile& media) {
  int decoded = 0;
  for (unsigned i = 0; i < media.format()->nb_streams; ++i) {
    if (media.format()->streams[i]->codecpar->format >= 0) ++decoded;
  }
  return decoded;
}

TEST(MediaProbeBoundsTest, AProbeDecodesOnlyTheStreamItWouldPlay) {
  constexpr int kSide = 2048;
  constexpr int64_t kPictureBytes = int64_t{kSide} * kSide * 4;
  auto path = pngTracks("probe_png_tracks16.mkv", 16, kSide);
  ASSERT_TRUE(resetPeakMemory());
  const int64_t before = residentMemory();
  {
    NSError error;
    auto media = MediaFile::open(MediaFile::openFile(path, &error), &error, nullptr);
    ASSERT_NE(media, nullptr) << error.localizedDescription;
    EXPECT_EQ(decodedStreams(*media), 1);
    EXPECT_EQ(media->probe().tracks.size(), 16u);
  }
  // A picture decoded, the decoder's own rows, what the allocator keeps and a sanitizer's shadow
  // of them: half of what 16 pictures take.
  EXPECT_LT(peakMemory() - before, 8 * kPictureBytes);
}

TEST(MediaProbeBoundsTest, AnAudioDecoderOpensAndDecodesNoPictureOfItsFile) {
  // A sound beside one large picture: what decoding the sound holds stays far below the picture.
  constexpr int kSide = 4096;
  constexpr int64_t kPictureBytes = int64_t{kSide} * kSide * 4;
  const auto path = av::soundBesideOnePicture("audio_beside_picture", kSide).withSound;
  ASSERT_TRUE(resetPeakMemory());
  const int64_t before = residentMemory();
  const uint64_t pictures = StreamDecoder::framesMadeInProcess();
  {
    auto audio = StreamDecoder::open(path, {StreamKind::kAudio, nullptr, 0});
    ASSERT_NE(audio, nullptr);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(audio->next().has_value()) << i;
    // Back to the start reopens the file the same way.
    ASSERT_TRUE(audio->seek(0));
    ASSERT_TRUE(audio->next().has_value());
    EXPECT_EQ(audio->codec().codec_type, AVMEDIA_TYPE_AUDIO);
  }
  EXPECT_EQ(StreamDecoder::framesMadeInProcess() - pictures, 21u);
  // Decoding the sound and a sanitizer's shadow of it (several times what it touches under
  // ThreadSanitizer), far below the one picture.
  EXPECT_LT(peakMemory() - before, kPictureBytes / 2);
}

// A Matroska file of one `side` x `side` picture whose track header says it is 16 x 16.
std::string lyingPictureSize(const std::string& name, int side) {
  const std::string size = std::to_string(side) + "x" + std::to_string(side);
  auto path = av::madeMedia(name + ".real.mkv",
                            {"-f", "lavfi", "-i", "color=c=red:size=" + size + ":rate=1:duration=1",
                             "-pix_fmt", "rgba", "-c:v", "png"});
  auto bytes = av::fileBytes(path);
  // PixelWidth (0xB0) and PixelHeight (0xBA), two-byte values, in the track header.
  const unsigned char high = static_cast<unsigned char>(side >> 8), low = side & 0xFF;
  for (unsigned char id : {0xB0, 0xBA}) {
    const unsigned char element[] = {id, 0x82, high, low};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(element), std::end(element));
    EXPECT_NE(at, bytes.end()) << "no picture size in the header";
    if (at == bytes.end()) return path;
    at[2] = 0;
    at[3] = 16;
  }
  return av::writtenMedia(name, bytes);
}

TEST(MediaProbeBoundsTest, AProbeCountsThePicturesDecodedNotTheSizeTheContainerDeclares) {
  using avfoundation::internal::kProbePixelBudget;
  using avfoundation::internal::ProbePixels;
  constexpr int kSide = 4096;
  auto path = lyingPictureSize("probe_lying_size.mkv", kSide);
  // All of the budget but a few pixels is held: the probe must wait for its real picture's.
  auto held = ProbePixels::reserve(kProbePixelBudget - 1024, [] { return false; });
  ASSERT_TRUE(held.has_value());
  std::atomic<bool> opened{false};
  std::atomic<int> width{0};
  std::thread prober([&] {
    NSError error;
    auto media = MediaFile::open(MediaFile::openFile(path, &error), &error, nullptr);
    if (media) width = media->format()->streams[0]->codecpar->width;
    opened = true;
  });
  const bool waited = runUntil([] { return ProbePixels::waiting() > 0; }, std::chrono::seconds(20));
  const bool openedWhileHeld = opened.load();
  held.reset();
  prober.join();
  EXPECT_TRUE(waited);
  EXPECT_FALSE(openedWhileHeld);
  // Once there is room, the file opens with its real size, and plays it.
  EXPECT_EQ(width.load(), kSide);
  auto video = StreamDecoder::open(path, {StreamKind::kVideo, nullptr, 0});
  ASSERT_NE(video, nullptr);
  auto decoded = video->next();
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->frame->width, kSide);
  EXPECT_EQ(ProbePixels::held(), 0);
}

TEST(MediaProbeBoundsTest, TheStreamProbedIsTheOneThatPlays) {
  // Two video tracks of different sizes, the second marked as the one to show, and a sound.
  auto small = av::madeMedia("probe_choice_small.png",
                             {"-f", "lavfi", "-i", "testsrc2=size=64x48", "-frames:v", "1",
                              "-c:v", "png", "-f", "image2"});
  auto large = av::madeMedia("probe_choice_large.png",
                             {"-f", "lavfi", "-i", "testsrc2=size=96x80", "-frames:v", "1",
                              "-c:v", "png", "-f", "image2"});
  auto path = av::madeMedia(
      "probe_choice.mkv",
      {"-framerate", "1", "-i", small, "-framerate", "1", "-i", large, "-f", "lavfi", "-i",
       "sine=duration=1", "-map", "0", "-map", "1", "-map", "2", "-c:v", "copy", "-c:a", "flac",
       "-disposition:v:0", "0", "-disposition:v:1", "default"});
  NSError error;
  auto media = MediaFile::open(MediaFile::openFile(path, &error), &error, nullptr);
  ASSERT_NE(media, nullptr) << error.localizedDescription;
  EXPECT_LT(media->format()->streams[0]->codecpar->format, 0);
  EXPECT_GE(media->format()->streams[1]->codecpar->format, 0);
  auto video = StreamDecoder::open(path, {StreamKind::kVideo, nullptr, 0});
  ASSERT_NE(video, nullptr);
  auto decoded = video->next();
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->frame->width, 96);
  EXPECT_NE(StreamDecoder::open(path, {StreamKind::kAudio, nullptr, 0}), nullptr);
}

TEST(MediaProbeBoundsTest, AFileOfMoreStreamsThanTheHostTakesIsRefused) {
  using avfoundation::internal::kMaxMediaStreams;
  auto picture = av::madeMedia("probe_tracks_one.mkv",
                               {"-f", "lavfi", "-i", "testsrc2=size=64x64:rate=25:duration=1",
                                "-c:v", "libx264", "-preset", "ultrafast"});
  // Matroska lists its streams in its header; MPEG-TS only in tables among its packets, where a
  // demuxer told to make no more streams drops the rest without failing.
  for (const std::string container : {"mkv", "ts"}) {
    auto tracks = [&](int count) {
      std::vector<std::string> arguments = {"-i", picture};
      for (int i = 0; i < count; ++i) arguments.insert(arguments.end(), {"-map", "0"});
      arguments.insert(arguments.end(), {"-c", "copy"});
      return av::madeMedia("probe_tracks_" + std::to_string(count) + "." + container, arguments);
    };
    for (int over : {1, 6}) {
      NSError error;
      auto refused = MediaFile::open(MediaFile::openFile(tracks(kMaxMediaStreams + over), &error),
                                     &error, nullptr);
      EXPECT_EQ(refused, nullptr) << container << " +" << over;
      EXPECT_EQ(error.domain, "AVFoundationErrorDomain") << container;
      EXPECT_EQ(error.code, -11828) << container;
      // The decoders of the players open their files as the assets do.
      EXPECT_TRUE(StreamDecoder::open(tracks(kMaxMediaStreams + over), {StreamKind::kVideo}) ==
                  nullptr)
          << container;
    }
    NSError error;
    auto media = MediaFile::open(MediaFile::openFile(tracks(kMaxMediaStreams), &error), &error,
                                 nullptr);
    ASSERT_NE(media, nullptr) << container << ": " << error.localizedDescription;
    EXPECT_EQ(media->format()->nb_streams, static_cast<unsigned>(kMaxMediaStreams)) << container;
  }
}

TEST(MediaProbeBoundsTest, ProbesThatOutliveTheirSlotsAreBoundedInNumber) {
  using avfoundation::internal::kMostProbesRunning;
  using avfoundation::internal::kProbeSlotHold;
  using avfoundation::internal::runProbe;
  // Many more probes than slots, each stuck until released: those that gave up their slots let
  // others start, up to a limit. They share what they wait on, so that it outlives the test.
  struct Shared {
    std::atomic<bool> release{false};
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    std::atomic<int> ended{0};
  };
  auto shared = std::make_shared<Shared>();
  constexpr int kProbes = 4 * kMostProbesRunning;
  for (int i = 0; i < kProbes; ++i) {
    runProbe([shared] {
      int now = ++shared->running;
      int most = shared->most.load();
      while (now > most && !shared->most.compare_exchange_weak(most, now)) {
      }
      shared->release.wait(false);
      --shared->running;
      ++shared->ended;
    });
  }
  // Long enough for every stuck probe to have given up its slot several times over.
  bool reached = runUntil([&] { return shared->most.load() >= kMostProbesRunning; },
                          std::chrono::seconds(60));
  auto settle = std::chrono::steady_clock::now() + 4 * kProbeSlotHold;
  runUntil([&] { return std::chrono::steady_clock::now() >= settle; }, 8 * kProbeSlotHold);
  const int most = shared->most.load();
  shared->release = true;
  shared->release.notify_all();
  EXPECT_TRUE(reached);
  EXPECT_EQ(most, kMostProbesRunning);
  EXPECT_TRUE(runUntil([&] { return shared->ended.load() == kProbes; }, std::chrono::seconds(60)));
}

TEST(MediaProbeBoundsTest, ProbesHoldNoMorePixelsThanTheBudgetAndWaitInTurn) {
  using avfoundation::internal::kProbePixelBudget;
  using avfoundation::internal::ProbePixels;
  auto whole = ProbePixels::reserve(kProbePixelBudget, [] { return false; });
  ASSERT_TRUE(whole.has_value());
  // Another waits while the budget is held (its stop is asked every few milliseconds), and one
  // told to stop gives up without a share.
  std::atomic<int> asked{0};
  std::atomic<bool> granted{false};
  std::thread waiter([&] {
    auto more = ProbePixels::reserve(1, [&] {
      ++asked;
      return false;
    });
    granted = more.has_value();
  });
  EXPECT_FALSE(ProbePixels::reserve(1, [] { return true; }).has_value());
  ASSERT_TRUE(runUntil([&] { return asked.load() >= 3; }, std::chrono::seconds(60)));
  EXPECT_FALSE(granted.load());
  EXPECT_EQ(ProbePixels::held(), kProbePixelBudget);
  whole.reset();
  waiter.join();
  EXPECT_TRUE(granted.load());
  EXPECT_EQ(ProbePixels::held(), 0);
}

}  // namespace
