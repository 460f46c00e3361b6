// The fixture of the tests that play media files made with the ffmpeg tool through items backed
// by the media library: opening, seeking, reading what an output shows and comparing it with
// FFmpeg's own decode, and the CPU and threads the process uses meanwhile.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <optional>
#include <string>

#include "platform/avfoundation/av_player.h"
#include "platform/avfoundation/av_player_item_notifications.h"
#include "platform/avfoundation/av_player_item_video_output.h"
#include "platform/avfoundation/av_url_asset.h"
#include "platform/avfoundation/testing/av_foundation_controls.h"
#include "platform/avfoundation/testing/av_video_output_controls.h"
#include "platform/avfoundation/testing/media_backing_controls.h"
#include "platform/avfoundation/tests/ffmpeg_reference.h"
#include "platform/avfoundation/tests/media_recipes.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/dispatch/testing/process_threads.h"
#include "platform/foundation/ns_notification_center.h"

namespace media_files_testing {


namespace av = avfoundation::testing;
using av::madeMedia;
using dispatch::testing::otherThreadsCpuSeconds;
using dispatch::testing::runUntil;
using dispatch::testing::threadsOutsideThePool;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The CPU time the calling (main) thread has used.
inline double mainThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Once the work already asked for is done (on a busy machine it may still be under way), pumps
// the main queue for `span`; the CPU the other threads used meanwhile. A player that never
// rests never lets the queues drain, and is caught all the same.
inline double cpuOfOthersDuring(milliseconds span) {
  dispatch::testing::drainUntilIdle();
  double before = otherThreadsCpuSeconds();
  auto end = Clock::now() + span;
  runUntil([&] { return Clock::now() >= end; }, span + std::chrono::seconds(1));
  return otherThreadsCpuSeconds() - before;
}

struct Playback {
  std::shared_ptr<AVPlayerItem> item;
  std::shared_ptr<AVPlayerItemVideoOutput> output;
  std::shared_ptr<AVPlayer> player;
};

class MediaFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { av::useMediaLibrary(); }
  void TearDown() override {
    av::useMediaModel();
    dispatch::testing::drainUntilIdle();
  }

  // An item of the file with a video output, in a paused player, ready to play (within `wait`:
  // long for files whose probe decodes a huge picture on a busy machine).
  static Playback open(const std::string& path, milliseconds wait = std::chrono::seconds(10)) {
    Playback playback;
    playback.item = AVPlayerItem::playerItemWithAsset(
        AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(path), {}));
    playback.output = std::make_shared<AVPlayerItemVideoOutput>(AVOutputSettings{});
    playback.item->addOutput(playback.output);
    playback.player = AVPlayer::playerWithPlayerItem(playback.item);
    playback.player->setActionAtItemEnd(AVPlayerActionAtItemEndPause);
    EXPECT_TRUE(runUntil([&] { return playback.item->status() == AVPlayerItemStatusReadyToPlay; },
                         wait))
        << path;
    return playback;
  }
  static void seek(Playback& playback, double to) {
    std::atomic<bool> done{false};
    playback.item->seekToTime(CMTimeMakeWithSeconds(to, 1000000), kCMTimeZero, kCMTimeZero,
                              [&](bool) { done = true; });
    ASSERT_TRUE(runUntil([&] { return done.load(); }));
  }
  struct Shown {
    double time;
    CVPixelBufferRef frame;
  };
  // The frame the output shows at `time` once it has a new one there.
  static std::optional<Shown> shownFrame(Playback& playback, double time,
                                         milliseconds limit = std::chrono::seconds(10)) {
    CMTime at = CMTimeMakeWithSeconds(time, 1000000);
    if (!runUntil([&] { return playback.output->hasNewPixelBufferForItemTime(at); }, limit)) {
      return std::nullopt;
    }
    CMTime shown = kCMTimeInvalid;
    auto frame = playback.output->copyPixelBufferForItemTime(at, &shown);
    if (!frame) return std::nullopt;
    return Shown{CMTimeGetSeconds(shown), std::move(frame)};
  }
  static std::optional<double> shownFrameTime(Playback& playback, double time,
                                              milliseconds limit = std::chrono::seconds(10)) {
    auto shown = shownFrame(playback, time, limit);
    return shown ? std::optional<double>(shown->time) : std::nullopt;
  }
  // The output shows at `time` the very picture FFmpeg decodes for that time.
  static void expectShowsFFmpegsFrame(Playback& playback, const std::string& path, double time) {
    auto expected = ffmpegFrameAt(path, time);
    ASSERT_TRUE(expected.has_value()) << path << " at " << time;
    auto shown = shownFrame(playback, time);
    ASSERT_TRUE(shown.has_value()) << path << " at " << time;
    EXPECT_EQ(shown->time, expected->time) << path;
    ASSERT_EQ(shown->frame->width(), static_cast<size_t>(expected->width));
    ASSERT_EQ(shown->frame->height(), static_cast<size_t>(expected->height));
    const size_t row = static_cast<size_t>(expected->width) * 4;
    for (int y = 0; y < expected->height; ++y) {
      const uint8_t* got = shown->frame->baseAddress() + y * shown->frame->bytesPerRow();
      ASSERT_TRUE(std::equal(got, got + row, expected->pixels.data() + y * row))
          << path << " at " << time << ", row " << y;
    }
  }
  // Plays at `rate` until the item's end notification.
  static bool playToEnd(Playback& playback, float rate) {
    std::atomic<int> ends{0};
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        AVPlayerItemDidPlayToEndTimeNotification, playback.item.get(), nullptr,
        [&ends](const NSNotification&) { ++ends; });
    playback.player->setRate(rate);
    bool ended = runUntil([&] { return ends.load() > 0; }, std::chrono::seconds(20));
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    return ended;
  }
};

}  // namespace media_files_testing
