// Seeks through items of the containers people have, as a player makes them: back and forth while
// paused, at the edges of a stream (before a late start, after the last picture) and while the
// time runs backward. What the output shows is FFmpeg's frame for the time.
#include "platform/avfoundation/tests/media_files_fixture.h"

namespace {

using namespace media_files_testing;
using avfoundation::testing::picturesAndSound;

TEST_F(MediaFilesTest, PausedSeeksBackAndForthShowFFmpegsFrameInEveryContainer) {
  for (const auto& path :
       {madeMedia("seek.ts", picturesAndSound({"-c:v", "libx264", "-g", "250", "-pix_fmt",
                                               "yuv420p", "-c:a", "aac", "-f", "mpegts"})),
        madeMedia("seek.avi", picturesAndSound({"-c:v", "mjpeg", "-c:a", "pcm_s16le"})),
        madeMedia("seek.ogv",
                  picturesAndSound({"-c:v", "libtheora", "-g", "30", "-c:a", "libvorbis"}))}) {
    auto playback = open(path);
    // Each target in another frame than the one before, so that each shows a new picture.
    for (double at : {3.9, 3.51, 2.908, 1.228, 2.02, 0.3, 3.0, 0.5}) {
      seek(playback, at);
      expectShowsFFmpegsFrame(playback, path, at);
    }
  }
}

TEST_F(MediaFilesTest, ASeekReachedByDecodingOnShowsNoFrameBeforeItsTarget) {
  // A thousand frames a second: the target lies hundreds of frames after those held.
  auto path = madeMedia("thousand_fps.mkv",
                        {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=1000:duration=1", "-c:v",
                         "libx264", "-pix_fmt", "yuv420p"});
  auto playback = open(path);
  ASSERT_EQ(shownFrameTime(playback, 0), 0.0);
  ASSERT_TRUE(runUntil([&] { return av::heldVideoFrameCount(*playback.output) > 1; }));
  for (double at : {0.5, 0.999}) {
    seek(playback, at);
    // The first frame handed out after the seek, watched as closely as a display would.
    CMTime time = CMTimeMakeWithSeconds(at, 1000000);
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!playback.output->hasNewPixelBufferForItemTime(time) && Clock::now() < deadline) {
    }
    CMTime shown = kCMTimeInvalid;
    ASSERT_NE(playback.output->copyPixelBufferForItemTime(time, &shown), nullptr);
    EXPECT_EQ(CMTimeGetSeconds(shown), ffmpegFrameAt(path, at)->time);
  }
}

TEST_F(MediaFilesTest, AtItsEdgesAStreamShowsItsFirstAndLastPictures) {
  // Pictures that start a little after the sound (the encoder's priming), and half a second
  // after it.
  auto early = madeMedia("seek.flv", picturesAndSound({"-c:v", "libx264", "-g", "50", "-pix_fmt",
                                                       "yuv420p", "-c:a", "aac"}));
  auto late = madeMedia("late_start.mkv",
                        {"-f", "lavfi", "-i", "sine=duration=2", "-itsoffset", "0.5", "-f",
                         "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1.5", "-c:v",
                         "libx264", "-pix_fmt", "yuv420p", "-c:a", "pcm_s16le"});
  for (const auto& [path, before] : {std::pair{early, 0.0}, std::pair{late, 0.2}}) {
    auto playback = open(path);
    seek(playback, 1.235);
    expectShowsFFmpegsFrame(playback, path, 1.235);
    // Before the first picture: the first picture, never the one shown last.
    seek(playback, before);
    expectShowsFFmpegsFrame(playback, path, before);
  }
  auto playback = open(early);
  double duration = CMTimeGetSeconds(playback.item->duration());
  double last = ffmpegFrameAt(early, duration)->time;
  ASSERT_LT(last + 0.02, duration);
  // Between the last picture and the end, the last picture stays.
  seek(playback, last + 0.02);
  expectShowsFFmpegsFrame(playback, early, last + 0.02);
}

TEST_F(MediaFilesTest, PlayingBackwardShowsThePicturesOfTheTimeAsItGoesBack) {
  auto path = madeMedia("key_every_second.mkv",
                        {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=4", "-c:v",
                         "libx264", "-g", "25", "-pix_fmt", "yuv420p"});
  auto playback = open(path);
  seek(playback, 3.5);
  ASSERT_TRUE(shownFrameTime(playback, 3.5).has_value());
  playback.player->setRate(-1.0f);
  std::vector<double> shown;
  std::string wrong;
  // A step aims ahead of the time by what the last one took on the wall clock (at most 1 s) and
  // 0.1 s besides, so on a busy machine a picture may come up to 1.1 s and a frame early.
  constexpr double kLongestLead = 1.0 + 0.1 + 0.04;
  // Down to the start, where the time stays while the rate is still backward.
  bool rested = runUntil(
      [&] {
        CMTime now = playback.item->currentTime();
        if (playback.output->hasNewPixelBufferForItemTime(now)) {
          CMTime time = kCMTimeInvalid;
          if (playback.output->copyPixelBufferForItemTime(now, &time)) {
            shown.push_back(CMTimeGetSeconds(time));
            // A picture of a time passed already, or of one further to come than a step aims,
            // is wrong.
            double at = CMTimeGetSeconds(now);
            if (wrong.empty() && (shown.back() > at + 1e-9 || shown.back() < at - kLongestLead)) {
              wrong = std::to_string(shown.back()) + " shown at " + std::to_string(at);
            }
          }
        }
        return CMTimeGetSeconds(now) == 0 && !shown.empty() && shown.back() == 0;
      },
      std::chrono::seconds(15));
  ASSERT_TRUE(rested);
  EXPECT_EQ(wrong, "");
  EXPECT_GE(shown.size(), 10u);
  EXPECT_TRUE(std::is_sorted(shown.rbegin(), shown.rend()));
  dispatch::testing::drainUntilIdle();
  EXPECT_LT(cpuOfOthersDuring(milliseconds(300)), 0.03);
}

}  // namespace
