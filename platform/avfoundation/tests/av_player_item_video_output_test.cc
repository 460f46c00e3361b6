// Video outputs: the item time a host time maps to, which pushed frame is new for an item time,
// and handing frames out (older ones dropped, references counted).
#include "platform/avfoundation/av_player_item_video_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "platform/avfoundation/av_player_item.h"
#include "platform/avfoundation/testing/av_foundation_controls.h"
#include "platform/avfoundation/testing/av_video_output_controls.h"
#include "platform/quartzcore/testing/media_clock_controls.h"

namespace {

namespace av = avfoundation::testing;

CVPixelBufferRef frame() {
  CVPixelBufferRef buffer;
  EXPECT_EQ(CVPixelBufferCreate(2, 2, kCVPixelFormatType_32BGRA, &buffer), kCVReturnSuccess);
  return buffer;
}

class VideoOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { item->addOutput(output); }
  CMTime seconds(double value) { return CMTimeMakeWithSeconds(value, 600); }

  std::shared_ptr<AVPlayerItem> item = AVPlayerItem::playerItemWithAsset(
      AVURLAsset::URLAssetWithURL(*NSURL::URLWithString("https://example.com/v.mp4"), {}));
  std::shared_ptr<AVPlayerItemVideoOutput> output = std::make_shared<AVPlayerItemVideoOutput>(
      AVOutputSettings{{"PixelFormatType", kCVPixelFormatType_32BGRA}});
};

TEST_F(VideoOutputTest, HostTimesMapToTheItemsTimeOnlyWhileAttached) {
  AVPlayerItemVideoOutput detached(AVOutputSettings{});
  EXPECT_TRUE(CMTIME_IS_INVALID(detached.itemTimeForHostTime(12.0)));
  EXPECT_TRUE(output->outputSettings().contains("PixelFormatType"));

  av::setCurrentTime(*item, seconds(3));
  EXPECT_EQ(CMTimeCompare(output->itemTimeForHostTime(1000.0), seconds(3)), 0);
  item.reset();  // the output does not keep its item alive
  EXPECT_TRUE(CMTIME_IS_INVALID(output->itemTimeForHostTime(1000.0)));
}

TEST_F(VideoOutputTest, WhilePlayingAHostTimeAheadMapsToAnItemTimeAheadAtTheRate) {
  quartzcore::testing::setMediaTime(100.0);
  av::setCurrentTime(*item, seconds(3));
  auto player = AVPlayer::playerWithPlayerItem(item);
  av::makeItemReady(*item);
  av::setPlaybackBufferEmpty(*item, false);
  player->setRate(2.0f);
  EXPECT_EQ(CMTimeCompare(output->itemTimeForHostTime(100.5), seconds(4)), 0);
  EXPECT_EQ(CMTimeCompare(output->itemTimeForHostTime(99.0), seconds(1)), 0);
  // Waiting for data, paused, or no longer the player's item: the time stands still.
  av::setPlaybackBufferEmpty(*item, true);
  EXPECT_EQ(CMTimeCompare(output->itemTimeForHostTime(100.5), seconds(3)), 0);
  av::setPlaybackBufferEmpty(*item, false);
  player->pause();
  EXPECT_EQ(CMTimeCompare(output->itemTimeForHostTime(100.5), seconds(3)), 0);
  player->play();
  player->replaceCurrentItemWithItem(nullptr);
  EXPECT_EQ(CMTimeCompare(output->itemTimeForHostTime(100.5), seconds(3)), 0);
  quartzcore::testing::useMachineClock();
}

TEST_F(VideoOutputTest, TheLatestFrameAtOrBeforeTheTimeIsNewUntilHandedOut) {
  auto first = frame(), second = frame(), third = frame();
  std::weak_ptr<CVPixelBuffer> firstWatch = first;
  EXPECT_FALSE(output->hasNewPixelBufferForItemTime(seconds(1)));
  EXPECT_EQ(output->copyPixelBufferForItemTime(seconds(1), nullptr), nullptr);
  av::pushVideoFrame(*output, seconds(0), std::move(first));
  av::pushVideoFrame(*output, seconds(1), second);
  av::pushVideoFrame(*output, seconds(2), third);

  EXPECT_FALSE(output->hasNewPixelBufferForItemTime(kCMTimeInvalid));
  EXPECT_TRUE(output->hasNewPixelBufferForItemTime(seconds(1.5)));
  CMTime shownAt = kCMTimeInvalid;
  EXPECT_EQ(output->copyPixelBufferForItemTime(seconds(1.5), &shownAt), second);
  EXPECT_EQ(CMTimeCompare(shownAt, seconds(1)), 0);
  EXPECT_TRUE(firstWatch.expired());  // frames before the one handed out are dropped
  EXPECT_FALSE(output->hasNewPixelBufferForItemTime(seconds(1.5)));
  EXPECT_EQ(output->copyPixelBufferForItemTime(seconds(0.5), nullptr), nullptr);

  EXPECT_TRUE(output->hasNewPixelBufferForItemTime(seconds(2)));
  auto handed = output->copyPixelBufferForItemTime(seconds(2), nullptr);
  EXPECT_EQ(handed, third);
  // The caller's copy, ours and the output's own.
  EXPECT_EQ(CFGetRetainCount(third), 3);
}

TEST_F(VideoOutputTest, AFramePushedAgainForTheSameTimeIsNew) {
  auto early = frame(), late = frame();
  av::pushVideoFrame(*output, seconds(1), early);
  EXPECT_EQ(output->copyPixelBufferForItemTime(seconds(1), nullptr), early);
  av::pushVideoFrame(*output, seconds(1), late);
  EXPECT_TRUE(output->hasNewPixelBufferForItemTime(seconds(1)));
  EXPECT_EQ(output->copyPixelBufferForItemTime(seconds(1), nullptr), late);
}

TEST_F(VideoOutputTest, FramesPushedWhileAnotherThreadCopiesComeOutWholeInOrderAndOnce) {
  constexpr int kFrames = 500;
  // Each frame carries its number in every byte, so a torn or mixed-up frame shows.
  auto numbered = [](int number) {
    CVPixelBufferRef buffer = frame();
    std::fill(buffer->baseAddress(), buffer->baseAddress() + buffer->dataSize(),
              static_cast<uint8_t>(number));
    return buffer;
  };
  std::atomic<bool> done{false};
  std::vector<std::pair<int, CVPixelBufferRef>> handedOut;  // the frame's time, the frame
  auto copy = [&] {
    CMTime now = seconds(kFrames);
    CMTime shownAt = kCMTimeInvalid;
    if (!output->hasNewPixelBufferForItemTime(now)) return;
    if (auto buffer = output->copyPixelBufferForItemTime(now, &shownAt)) {
      handedOut.emplace_back(static_cast<int>(CMTimeGetSeconds(shownAt)), std::move(buffer));
    }
  };
  std::thread engine([&] {
    while (!done.load()) copy();
  });
  for (int i = 0; i < kFrames; ++i) av::pushVideoFrame(*output, seconds(i), numbered(i));
  done = true;
  engine.join();
  // Whatever the other thread missed, the newest frame is still there to be handed out.
  copy();
  ASSERT_FALSE(handedOut.empty());
  EXPECT_EQ(handedOut.back().first, kFrames - 1);
  int previous = -1;
  for (const auto& [number, buffer] : handedOut) {
    EXPECT_GT(number, previous) << "a frame handed out twice or out of order";
    previous = number;
    for (size_t i = 0; i < buffer->dataSize(); ++i) {
      ASSERT_EQ(buffer->baseAddress()[i], static_cast<uint8_t>(number)) << "frame " << number;
    }
  }
  EXPECT_FALSE(output->hasNewPixelBufferForItemTime(seconds(kFrames)));
}

}  // namespace
