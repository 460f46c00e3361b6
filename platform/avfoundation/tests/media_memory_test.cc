// Memory that cannot be had is an answer on the media paths: a pixel buffer that cannot be
// allocated fails its call, and a player whose frames cannot be kept skips them and says why,
// without ending the host.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <string>
#include <vector>

#include "platform/avfoundation/av_player.h"
#include "platform/avfoundation/av_player_item_notifications.h"
#include "platform/avfoundation/av_player_item_video_output.h"
#include "platform/avfoundation/av_url_asset.h"
#include "platform/avfoundation/cv_pixel_buffer_pool.h"
#include "platform/avfoundation/testing/av_video_output_controls.h"
#include "platform/avfoundation/testing/media_backing_controls.h"
#include "platform/avfoundation/testing/media_library_controls.h"
#include "platform/avfoundation/tests/media_recipes.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/foundation/ns_notification_center.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

namespace av = avfoundation::testing;
using dispatch::testing::runUntil;

bool anyLineSays(const std::vector<std::string>& lines, const std::string& words) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.find(words) != std::string::npos;
  });
}

bool resetPeakMemory() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5"); }

// VmHWM or VmRSS of this process, in bytes.
int64_t statusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1)) * 1024;
  }
  return 0;
}

class MediaMemoryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    av::limitPixelBufferStorage(std::nullopt);
    av::limitMediaLibraryAllocation(std::nullopt);
    foundation::testing::setLogCapture(false);
    av::useMediaModel();
    dispatch::testing::drainUntilIdle();
  }
};

TEST_F(MediaMemoryTest, APixelBufferThatCannotBeAllocatedFailsItsCall) {
  av::limitPixelBufferStorage(1024);
  CVPixelBufferRef buffer;
  EXPECT_EQ(CVPixelBufferCreate(64, 64, kCVPixelFormatType_32BGRA, &buffer),
            kCVReturnAllocationFailed);
  EXPECT_EQ(buffer, nullptr);
  // A pool is made without a buffer of its own; its buffers fail as creation does.
  CVPixelBufferPoolRef pool;
  ASSERT_EQ(CVPixelBufferPoolCreate({}, {.width = 64, .height = 64}, &pool), kCVReturnSuccess);
  EXPECT_EQ(CVPixelBufferPoolCreatePixelBuffer(pool, &buffer), kCVReturnAllocationFailed);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(pool->allocatedBufferCount(), 0u);
  // Small ones still come, and all do once memory is back.
  EXPECT_EQ(CVPixelBufferCreate(8, 8, kCVPixelFormatType_32BGRA, &buffer), kCVReturnSuccess);
  av::limitPixelBufferStorage(std::nullopt);
  EXPECT_EQ(CVPixelBufferPoolCreatePixelBuffer(pool, &buffer), kCVReturnSuccess);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->width(), 64u);
}

TEST_F(MediaMemoryTest, FramesThatCannotBeKeptAreSkippedAndTheItemPlaysOn) {
  av::useMediaLibrary();
  foundation::testing::setLogCapture(true);
  // The fixture's 160 x 120 pictures need more than this.
  av::limitPixelBufferStorage(4096);
  auto item = AVPlayerItem::playerItemWithAsset(
      AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(MEDIA_FIXTURE), {}));
  auto output = std::make_shared<AVPlayerItemVideoOutput>(AVOutputSettings{});
  item->addOutput(output);
  auto player = AVPlayer::playerWithPlayerItem(item);
  player->setActionAtItemEnd(AVPlayerActionAtItemEndPause);
  ASSERT_TRUE(runUntil([&] { return item->status() == AVPlayerItemStatusReadyToPlay; }));
  std::atomic<int> ends{0};
  auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
      AVPlayerItemDidPlayToEndTimeNotification, item.get(), nullptr,
      [&ends](const NSNotification&) { ++ends; });
  player->play();
  ASSERT_TRUE(runUntil([&] { return ends.load() == 1; }, std::chrono::seconds(30)));
  NSNotificationCenter::defaultCenter()->removeObserver(token);
  EXPECT_FALSE(output->hasNewPixelBufferForItemTime(item->currentTime()));
  EXPECT_TRUE(anyLineSays(foundation::testing::takeLogLines(), "memory ran out"));

  // With memory back, the same output shows pictures again.
  av::limitPixelBufferStorage(std::nullopt);
  std::atomic<bool> sought{false};
  item->seekToTime(CMTimeMake(1, 2), kCMTimeZero, kCMTimeZero, [&](bool) { sought = true; });
  ASSERT_TRUE(runUntil([&] { return sought.load(); }));
  ASSERT_TRUE(runUntil([&] { return output->hasNewPixelBufferForItemTime(item->currentTime()); }));
  EXPECT_NE(output->copyPixelBufferForItemTime(item->currentTime(), nullptr), nullptr);
}

TEST_F(MediaMemoryTest, AnItemWhosePicturesCannotBeDecodedPlaysToItsEndNotAtOnce) {
  // 100 pictures of 1.5 MiB each over 2 s: more failures in a row than a decoder bears, and
  // (the short one) fewer, up to the end of the file.
  for (const auto& [name, rate] : {std::pair{"memory_play_many.mkv", "50"},
                                   std::pair{"memory_play_few.mkv", "5"}}) {
    SCOPED_TRACE(name);
    auto path = av::madeMedia(name, {"-f", "lavfi", "-i",
                                     std::string("testsrc2=size=1024x1024:duration=2:rate=") + rate,
                                     "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                                     "yuv420p"});
    av::useMediaLibrary();
    foundation::testing::setLogCapture(true);
    auto asset = AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(path), {});
    std::atomic<bool> loaded{false};
    asset->loadValuesAsynchronouslyForKeys({"tracks", "duration"}, [&] { loaded = true; });
    ASSERT_TRUE(runUntil([&] { return loaded.load(); }));
    // FFmpeg's pictures cannot be had from the item's first: its decoder stops making frames,
    // which is no end of the stream, so the item plays on to the end its file declares.
    av::limitMediaLibraryAllocation(768 * 1024);
    auto item = AVPlayerItem::playerItemWithAsset(asset);
    item->addOutput(std::make_shared<AVPlayerItemVideoOutput>(AVOutputSettings{}));
    auto player = AVPlayer::playerWithPlayerItem(item);
    player->setActionAtItemEnd(AVPlayerActionAtItemEndPause);
    bool ready = runUntil([&] { return item->status() == AVPlayerItemStatusReadyToPlay; });
    if (!ready) av::limitMediaLibraryAllocation(std::nullopt);
    ASSERT_TRUE(ready);
    std::atomic<int> ends{0};
    std::atomic<double> endedAt{-1};
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        AVPlayerItemDidPlayToEndTimeNotification, item.get(), nullptr,
        [&](const NSNotification&) {
          endedAt = CMTimeGetSeconds(item->currentTime());
          ++ends;
        });
    player->play();
    bool ended = runUntil([&] { return ends.load() == 1; }, std::chrono::seconds(60));
    av::limitMediaLibraryAllocation(std::nullopt);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    ASSERT_TRUE(ended);
    EXPECT_GT(endedAt.load(), 1.9);
    auto lines = foundation::testing::takeLogLines();
    EXPECT_TRUE(anyLineSays(lines, "memory ran out"));
    player->pause();
    dispatch::testing::drainUntilIdle();
  }
}

TEST_F(MediaMemoryTest, AnAssetPlayedForItsSoundProbesNoPicture) {
  constexpr int kSide = 4096;
  constexpr int64_t kPictureBytes = int64_t{kSide} * kSide * 4;
  const auto [picture, withSound] = av::soundBesideOnePicture("sound_asset_picture", kSide);
  auto pictureOnly = av::madeMedia("sound_asset_picture_only.mkv",
                                   {"-framerate", "1", "-i", picture, "-c:v", "copy"});
  av::useMediaLibrary();
  auto load = [](const std::string& path) {
    auto asset = AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(path),
                                             {{AVURLAssetHostSoundOnlyKey, true}});
    std::atomic<bool> done{false};
    asset->loadValuesAsynchronouslyForKeys({"tracks", "duration"}, [&done] { done = true; });
    EXPECT_TRUE(runUntil([&] { return done.load(); }, std::chrono::seconds(60)));
    return asset;
  };
  ASSERT_TRUE(resetPeakMemory());
  const int64_t before = statusBytes("VmRSS");
  {
    auto asset = load(withSound);
    EXPECT_EQ(asset->statusOfValueForKey("tracks", nullptr), AVKeyValueStatusLoaded);
    EXPECT_EQ(asset->tracksWithMediaType(AVMediaTypeAudio).size(), 1u);
    EXPECT_TRUE(asset->tracksWithMediaType(AVMediaTypeVideo).empty());
    // A file without sound is no failure: it completes where it stands when played.
    auto silent = load(pictureOnly);
    EXPECT_EQ(silent->statusOfValueForKey("tracks", nullptr), AVKeyValueStatusLoaded);
    EXPECT_TRUE(silent->tracks().empty());
  }
  // Room for a sanitizer's shadow of what the sound's probe holds; one decoded picture is more.
  EXPECT_LT(statusBytes("VmHWM") - before, kPictureBytes / 2);
}

}  // namespace
