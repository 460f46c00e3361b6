// Assets backed by the media library: a real file is probed, plays on the host clock to its end,
// and its frames come out as FFmpeg itself decodes them; whatever cannot be played fails with the
// platform's error, without blocking.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "platform/avfoundation/av_player.h"
#include "platform/avfoundation/av_player_item_notifications.h"
#include "platform/avfoundation/av_player_item_video_output.h"
#include "platform/avfoundation/av_url_asset.h"
#include "platform/avfoundation/internal/video_frame_queue.h"
#include "platform/avfoundation/testing/av_foundation_controls.h"
#include "platform/avfoundation/testing/av_video_output_controls.h"
#include "platform/avfoundation/testing/media_backing_controls.h"
#include "platform/avfoundation/tests/ffmpeg_reference.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/foundation/ns_notification_center.h"

namespace {

namespace av = avfoundation::testing;
using dispatch::testing::runUntil;

class LibraryMediaTest : public ::testing::Test {
 protected:
  void SetUp() override { av::useMediaLibrary(); }
  void TearDown() override {
    av::useMediaModel();
    dispatch::testing::drainUntilIdle();
  }
  static std::shared_ptr<AVURLAsset> asset(const std::string& url) {
    return AVURLAsset::URLAssetWithURL(*NSURL::URLWithString(url), {});
  }
  static std::shared_ptr<AVURLAsset> fileAsset(const std::string& path) {
    return AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(path), {});
  }
  // Waits (bounded) until the key settled; its status.
  static AVKeyValueStatus settled(AVAsset& asset, const std::string& key, NSError* error) {
    std::atomic<bool> done{false};
    asset.loadValuesAsynchronouslyForKeys({key}, [&done] { done = true; });
    EXPECT_TRUE(runUntil([&] { return done.load(); }));
    return asset.statusOfValueForKey(key, error);
  }
};

TEST_F(LibraryMediaTest, AFileIsProbedForItsDurationTracksAndMetadata) {
  auto clip = fileAsset(MEDIA_FIXTURE);
  ASSERT_EQ(settled(*clip, "tracks", nullptr), AVKeyValueStatusLoaded);
  EXPECT_EQ(settled(*clip, "variants", nullptr), AVKeyValueStatusLoaded);
  EXPECT_TRUE(clip->variants().empty());
  EXPECT_NEAR(CMTimeGetSeconds(clip->duration()), 1.0, 0.05);
  auto video = clip->tracksWithMediaType(AVMediaTypeVideo);
  ASSERT_EQ(video.size(), 1u);
  EXPECT_EQ(video[0]->naturalSize().width, 160);
  EXPECT_EQ(video[0]->naturalSize().height, 120);
  EXPECT_FLOAT_EQ(video[0]->nominalFrameRate(), 10.0f);
  EXPECT_EQ(CMTimeCompare(video[0]->minFrameDuration(), CMTimeMake(1, 10)), 0);
  EXPECT_EQ(video[0]->codecType(), 0x61766331u);  // 'avc1'
  EXPECT_GT(video[0]->estimatedDataRate(), 0);
  EXPECT_TRUE(CGAffineTransformIsIdentity(video[0]->preferredTransform()));
  EXPECT_EQ(video[0]->statusOfValueForKey("preferredTransform", nullptr), AVKeyValueStatusLoaded);
  EXPECT_EQ(clip->tracksWithMediaType(AVMediaTypeAudio).size(), 1u);
  auto titles = AVMetadataItem::metadataItemsFromArray(clip->commonMetadata(),
                                                       AVMetadataCommonKeyTitle,
                                                       AVMetadataKeySpaceCommon);
  ASSERT_EQ(titles.size(), 1u);
  EXPECT_EQ(titles[0].stringValue(), "Test pattern");
}

TEST_F(LibraryMediaTest, WhatCannotBePlayedFailsWithThePlatformsErrorWithoutBlocking) {
  auto folder = ::testing::TempDir() + "library_media";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/notes.txt") << "not a video at all";
  std::filesystem::remove(folder + "/pipe");
  ASSERT_EQ(mkfifo((folder + "/pipe").c_str(), 0600), 0);
  struct Case {
    std::shared_ptr<AVURLAsset> asset;
    const char* domain;
    long code;
  };
  std::vector<Case> cases = {
      {fileAsset(folder + "/missing.mp4"), "NSURLErrorDomain", -1100},
      {fileAsset(folder + "/notes.txt"), "AVFoundationErrorDomain", -11828},
      {fileAsset(folder + "/pipe"), "AVFoundationErrorDomain", -11828},
      {fileAsset(folder), "AVFoundationErrorDomain", -11828},
      {asset("https://example.com/clip.mp4"), "NSURLErrorDomain", -1009},
  };
  for (auto& each : cases) {
    NSError error;
    EXPECT_EQ(settled(*each.asset, "playable", &error), AVKeyValueStatusFailed)
        << each.asset->URL().absoluteString();
    EXPECT_EQ(error.domain, each.domain);
    EXPECT_EQ(error.code, each.code);
    // The item fails with the same error, so that players report it.
    auto item = AVPlayerItem::playerItemWithAsset(each.asset);
    ASSERT_TRUE(runUntil([&] { return item->status() == AVPlayerItemStatusFailed; }));
    ASSERT_TRUE(item->error().has_value());
    EXPECT_EQ(item->error()->code, each.code);
  }
}

TEST_F(LibraryMediaTest, AFileURLNamingAnotherHostIsNotALocalFile) {
  const std::string path = MEDIA_FIXTURE;
  for (const std::string& url : {"file://" + path, "file://localhost" + path,
                                 "file://LocalHost" + path}) {
    EXPECT_EQ(settled(*asset(url), "playable", nullptr), AVKeyValueStatusLoaded) << url;
  }
  // Another machine's file is a remote resource: it fails as one does without a network.
  for (const std::string& url : {"file://127.0.0.1/" + path, "file://127.0.0.1" + path,
                                 "file://example.com" + path, "file://[::1]" + path,
                                 "file://localhost.example.com" + path}) {
    NSError error;
    EXPECT_EQ(settled(*asset(url), "playable", &error), AVKeyValueStatusFailed) << url;
    EXPECT_EQ(error.domain, "NSURLErrorDomain") << url;
    EXPECT_EQ(error.code, -1009) << url;
  }
}

TEST_F(LibraryMediaTest, AnItemPlaysOnTheHostClockToItsEndAndHandsOutFFmpegsFrames) {
  auto item = AVPlayerItem::playerItemWithAsset(fileAsset(MEDIA_FIXTURE));
  auto output = std::make_shared<AVPlayerItemVideoOutput>(AVOutputSettings{});
  item->addOutput(output);
  auto player = AVPlayer::playerWithPlayerItem(item);
  player->setActionAtItemEnd(AVPlayerActionAtItemEndPause);
  ASSERT_TRUE(runUntil([&] { return item->status() == AVPlayerItemStatusReadyToPlay; }));
  EXPECT_NEAR(CMTimeGetSeconds(item->duration()), 1.0, 0.05);
  EXPECT_EQ(item->presentationSize().width, 160);
  EXPECT_FALSE(item->loadedTimeRanges().empty());

  // Paused, the time stands still and the first frame is decoded as FFmpeg decodes it.
  ASSERT_TRUE(runUntil([&] { return output->hasNewPixelBufferForItemTime(kCMTimeZero); }));
  auto first = output->copyPixelBufferForItemTime(kCMTimeZero, nullptr);
  ASSERT_NE(first, nullptr);
  auto expected = ffmpegFrameAt(MEDIA_FIXTURE, 0);
  ASSERT_TRUE(expected.has_value());
  ASSERT_EQ(first->width(), static_cast<size_t>(expected->width));
  ASSERT_EQ(first->height(), static_cast<size_t>(expected->height));
  EXPECT_EQ(first->pixelFormatType(), kCVPixelFormatType_32BGRA);
  const size_t row = static_cast<size_t>(expected->width) * 4;
  for (int y = 0; y < expected->height; ++y) {
    const uint8_t* got = first->baseAddress() + y * first->bytesPerRow();
    ASSERT_TRUE(std::equal(got, got + row, expected->pixels.data() + y * row)) << y;
  }

  std::atomic<int> ends{0};
  auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
      AVPlayerItemDidPlayToEndTimeNotification, item.get(), nullptr,
      [&ends](const NSNotification&) { ++ends; });
  player->play();
  ASSERT_TRUE(runUntil([&] { return CMTimeGetSeconds(item->currentTime()) > 0.2; }));
  // Frames keep coming for the running time.
  ASSERT_TRUE(runUntil([&] { return output->hasNewPixelBufferForItemTime(item->currentTime()); }));
  ASSERT_TRUE(runUntil([&] { return ends.load() == 1; }, std::chrono::seconds(5)));
  EXPECT_EQ(player->rate(), 0.0f);  // the end action in force: pause
  EXPECT_EQ(CMTimeCompare(item->currentTime(), item->duration()), 0);
  NSNotificationCenter::defaultCenter()->removeObserver(token);
  // Nobody copied while it played: frames the time passed were let go, not piled up.
  EXPECT_LE(av::heldVideoFrameCount(*output), avfoundation::internal::kVideoFramesAhead + 1);

  // A seek back lands where asked and the decoder follows.
  std::atomic<bool> sought{false};
  item->seekToTime(CMTimeMake(1, 2), kCMTimeZero, kCMTimeZero, [&](bool) { sought = true; });
  ASSERT_TRUE(runUntil([&] { return sought.load(); }));
  EXPECT_EQ(CMTimeCompare(item->currentTime(), CMTimeMake(1, 2)), 0);
  CMTime shownAt = kCMTimeInvalid;
  ASSERT_TRUE(runUntil([&] { return output->hasNewPixelBufferForItemTime(item->currentTime()); }));
  ASSERT_NE(output->copyPixelBufferForItemTime(item->currentTime(), &shownAt), nullptr);
  EXPECT_NEAR(CMTimeGetSeconds(shownAt), 0.5, 0.051);
}

TEST_F(LibraryMediaTest, AudioIsConsumedAtThePlaybackRateWithTheVolumeApplied) {
  auto item = AVPlayerItem::playerItemWithAsset(fileAsset(MEDIA_FIXTURE));
  auto player = AVPlayer::playerWithPlayerItem(item);
  ASSERT_TRUE(runUntil([&] { return item->status() == AVPlayerItemStatusReadyToPlay; }));
  // Paused: no more than a short lead is decoded (the sink plays 48 kHz).
  ASSERT_TRUE(runUntil([&] { return av::audioFramesPlayed(*item) > 0; }));
  EXPECT_LT(av::audioFramesPlayed(*item), 48000 / 2);
  player->play();
  ASSERT_TRUE(runUntil([&] { return av::audioFramesPlayed(*item) > 48000 / 2; }));
  EXPECT_GT(av::audioLastPeak(*item), 0.1f);  // the clip's tone, at volume 1
  player->setVolume(0);
  ASSERT_TRUE(runUntil([&] { return av::audioLastPeak(*item) == 0.0f; }));
}

}  // namespace
