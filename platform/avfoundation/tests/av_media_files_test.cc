// Media files as people make them with the ffmpeg tool, played through items backed by the media
// library: far seeks, streams that change their audio format, frames without timestamps, streams
// of unknown length, tracks of different lengths, slow decodes, damaged packets and start offsets.
// Every player shows what the file holds, rests when it has nothing to do, and never holds more
// than its budget.
#include "platform/avfoundation/internal/video_frame_queue.h"
#include "platform/avfoundation/tests/media_files_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace media_files_testing;

TEST_F(MediaFilesTest, ASeekFarFromAKeyFrameShowsItsTargetThenRests) {
  const std::vector<std::string> source = {"-f", "lavfi", "-i",
                                           "testsrc=size=320x240:rate=25:duration=10",
                                           "-c:v", "libx264", "-pix_fmt", "yuv420p"};
  auto recipe = [&](std::vector<std::string> encoding) {
    auto all = source;
    all.insert(all.end(), encoding.begin(), encoding.end());
    return all;
  };
  for (const auto& path :
       {madeMedia("one_key_frame.mp4", recipe({"-g", "250", "-bf", "0"})),
        madeMedia("one_key_frame_b_frames.mp4", recipe({"-g", "250", "-bf", "3"})),
        madeMedia("key_every_2s_b_frames.mkv", recipe({"-g", "50", "-bf", "2"}))}) {
    auto playback = open(path);
    ASSERT_TRUE(shownFrameTime(playback, 0).has_value()) << path;
    seek(playback, 5.0);
    expectShowsFFmpegsFrame(playback, path, 5.0);
    // Between two frames: the earlier one.
    seek(playback, 7.23);
    expectShowsFFmpegsFrame(playback, path, 7.23);
    EXPECT_EQ(ffmpegFrameAt(path, 7.23)->time, 7.2);
    // Shown and paused, the player rests.
    EXPECT_LT(cpuOfOthersDuring(milliseconds(300)), 0.03) << path;
  }
}

TEST_F(MediaFilesTest, AudioThatChangesItsLayoutAndRateMidStreamPlaysToItsEnd) {
  auto part = [](const char* name, const char* channels, const char* rate) {
    return madeMedia(name, {"-f", "lavfi", "-i", "sine=frequency=440:duration=0.5", "-ac",
                            channels, "-ar", rate, "-c:a", "libmp3lame"});
  };
  auto changing = av::concatenatedMedia(
      "changing.mp3", {part("stereo.mp3", "2", "44100"), part("mono.mp3", "1", "44100"),
                       part("mono_22k.mp3", "1", "22050")});
  auto playback = open(changing);
  ASSERT_TRUE(playToEnd(playback, 4.0f));
  // Every part was played, at the sink's 48 kHz (each with its encoder's padding).
  EXPECT_GE(av::audioFramesPlayed(*playback.item), 1.5 * 48000);
  EXPECT_LE(av::audioFramesPlayed(*playback.item), 1.8 * 48000);
}

TEST_F(MediaFilesTest, FramesWithoutOrSharingTimestampsAreTimedFromTheRateAndBounded) {
  auto raw = madeMedia("no_timestamps.h264",
                       {"-f", "lavfi", "-i", "testsrc=size=640x480:rate=25", "-frames:v", "300",
                        "-c:v", "libx264", "-bf", "0", "-pix_fmt", "yuv420p", "-f", "h264"});
  auto shared = madeMedia("shared_timestamps.mkv",
                          {"-i", raw, "-c:v", "copy", "-bsf:v", "setts=pts=0:dts=0"});
  for (const auto& path : {raw, shared}) {
    auto playback = open(path);
    ASSERT_EQ(shownFrameTime(playback, 0), 0.0) << path;
    // Paused: a few frames ahead, then nothing more.
    runUntil([&] { return av::heldVideoFrameCount(*playback.output) > 5; }, milliseconds(1500));
    dispatch::testing::drainUntilIdle();
    EXPECT_LE(av::heldVideoFrameCount(*playback.output), 5) << path;
  }
  // Frame 50 of a 25 frames a second stream. (The MKV says it lasts one frame.)
  auto playback = open(raw);
  seek(playback, 2.0);
  expectShowsFFmpegsFrame(playback, raw, 2.0);
  EXPECT_EQ(ffmpegFrameAt(raw, 2.0)->time, 2.0);
}

TEST_F(MediaFilesTest, AStreamOfUnknownLengthPlaysToItsRealEnd) {
  auto raw = madeMedia("two_seconds.h264",
                       {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-frames:v", "50",
                        "-c:v", "libx264", "-pix_fmt", "yuv420p", "-f", "h264"});
  auto playback = open(raw);
  EXPECT_TRUE(CMTIME_IS_INDEFINITE(playback.item->duration()));
  ASSERT_TRUE(shownFrameTime(playback, 0).has_value());
  ASSERT_TRUE(playToEnd(playback, 4.0f));
  EXPECT_NEAR(CMTimeGetSeconds(playback.item->currentTime()), 2.0, 0.05);
}

TEST_F(MediaFilesTest, TracksOfDifferentLengthsEndAtTheLongestAndThenRest) {
  auto path = madeMedia("short_video_long_audio.mp4",
                        {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1", "-f",
                         "lavfi", "-i", "sine=frequency=440:duration=3.5", "-c:v", "libx264",
                         "-pix_fmt", "yuv420p", "-c:a", "aac"});
  auto playback = open(path);
  EXPECT_NEAR(CMTimeGetSeconds(playback.item->duration()), 3.5, 0.05);
  ASSERT_TRUE(playToEnd(playback, 4.0f));
  EXPECT_NEAR(CMTimeGetSeconds(playback.item->currentTime()), 3.5, 0.05);
  // The last frame stays shown; nothing decodes any more.
  dispatch::testing::drainUntilIdle();
  int64_t played = av::audioFramesPlayed(*playback.item);
  EXPECT_LT(cpuOfOthersDuring(milliseconds(300)), 0.03);
  EXPECT_EQ(av::audioFramesPlayed(*playback.item), played);
}

TEST_F(MediaFilesTest, HugePicturesHoldNoFrameAheadAndDisposalNeverWaitsForTheirDecode) {
  // Pictures of 4200 x 4200: a decoded one (70 MB) is more than a decoder keeps ahead in all.
  constexpr size_t kSide = 4200;
  static_assert(kSide * kSide * 4 > avfoundation::internal::kVideoBytesAhead);
  auto path = madeMedia("huge_pictures.mkv", {"-f", "lavfi", "-i", "color=size=4200x4200:rate=2",
                                              "-frames:v", "3", "-c:v", "png"});
  // Each probe decodes such a picture: on a busy machine under the sanitizers that takes a while,
  // so the waits are generous and the work is bounded in CPU time instead.
  constexpr auto kGenerously = std::chrono::seconds(90);
  {
    // Let go of while its first picture decodes: the main thread does no decoding work for it.
    auto playback = open(path, kGenerously);
    double before = mainThreadCpuSeconds();
    playback = {};
    EXPECT_LT(mainThreadCpuSeconds() - before, 0.05);
  }
  auto playback = open(path, kGenerously);
  ASSERT_EQ(shownFrameTime(playback, 0.1, kGenerously), 0.0);
  dispatch::testing::drainUntilIdle(kGenerously);
  // The frame shown, and nothing decoded ahead of it; nothing else held.
  EXPECT_LE(av::heldVideoFrameCount(*playback.output), 1);
  EXPECT_LE(av::heldVideoBytes(*playback.output), kSide * kSide * 4 + (size_t{1} << 20));
}

TEST_F(MediaFilesTest, PausedAndEndedPlayersUseNoCpuAndHoldNoThreads) {
  std::vector<Playback> players;
  for (int i = 0; i < 10; ++i) players.push_back(open(MEDIA_FIXTURE));
  for (auto& playback : players) ASSERT_TRUE(shownFrameTime(playback, 0).has_value());
  dispatch::testing::drainUntilIdle();
  EXPECT_LT(cpuOfOthersDuring(milliseconds(500)), 0.02);
  // Paused players hold no threads of their own: letting them go frees none.
  int paused = threadsOutsideThePool();
  {
    auto more = players;
    players.clear();
    more.clear();
    dispatch::testing::drainUntilIdle();
    EXPECT_GE(threadsOutsideThePool(), paused);
    for (int i = 0; i < 10; ++i) players.push_back(open(MEDIA_FIXTURE));
    for (auto& playback : players) ASSERT_TRUE(shownFrameTime(playback, 0).has_value());
  }
  for (auto& playback : players) playback.player->setRate(2.0f);
  for (auto& playback : players) {
    ASSERT_TRUE(runUntil([&] { return playback.player->rate() == 0.0f; }));  // paused at the end
  }
  dispatch::testing::drainUntilIdle();
  EXPECT_LT(cpuOfOthersDuring(milliseconds(500)), 0.02);
}

TEST_F(MediaFilesTest, ADamagedPacketSkipsOnlyThatFrame) {
  auto intact = madeMedia("pictures.mkv", {"-f", "lavfi", "-i", "testsrc=size=64x64:rate=10",
                                           "-frames:v", "10", "-c:v", "png"});
  // The fourth picture's signature is broken.
  auto bytes = av::fileBytes(intact);
  const std::string signature = "\x89PNG\r\n\x1a\n";
  size_t at = 0;
  for (int found = 0; found < 4; ++found) {
    at = std::string(bytes.begin(), bytes.end()).find(signature, found == 0 ? 0 : at + 1);
    ASSERT_NE(at, std::string::npos);
  }
  bytes[at + 1] = 'X';
  auto playback = open(av::writtenMedia("damaged.mkv", bytes));
  ASSERT_EQ(shownFrameTime(playback, 0), 0.0);
  playback.player->setRate(1.0f);
  ASSERT_TRUE(runUntil([&] { return CMTimeGetSeconds(playback.item->currentTime()) >= 0.75; }));
  playback.player->setRate(0.0f);
  double now = CMTimeGetSeconds(playback.item->currentTime());
  auto shown = shownFrameTime(playback, now);
  ASSERT_TRUE(shown.has_value());
  EXPECT_GE(*shown, 0.7);
}

TEST_F(MediaFilesTest, StreamsArePlacedOnTheContainersTimeLine) {
  auto path = madeMedia("late_video.mkv",
                        {"-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-itsoffset", "0.5",
                         "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1.5", "-c:v",
                         "libx264", "-pix_fmt", "yuv420p", "-c:a", "pcm_s16le"});
  auto playback = open(path);
  seek(playback, 0.65);
  // The video's second frame, half a second into the file.
  expectShowsFFmpegsFrame(playback, path, 0.65);
  EXPECT_EQ(ffmpegFrameAt(path, 0.65)->time, 0.6);
}

TEST_F(MediaFilesTest, PicturesMayBeAtMost8192PixelsOnEachSide) {
  auto picture = [](const std::string& size) {
    return madeMedia("picture_" + size + ".mkv", {"-f", "lavfi", "-i", "color=size=" + size,
                                                  "-frames:v", "1", "-c:v", "png"});
  };
  for (const auto& [size, status] :
       {std::pair{"8192x8", AVPlayerItemStatusReadyToPlay},
        std::pair{"8194x8", AVPlayerItemStatusFailed},
        std::pair{"16x16384", AVPlayerItemStatusFailed}}) {
    auto item = AVPlayerItem::playerItemWithAsset(
        AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(picture(size)), {}));
    ASSERT_TRUE(runUntil([&] { return item->status() != AVPlayerItemStatusUnknown; })) << size;
    EXPECT_EQ(item->status(), status) << size;
    if (status == AVPlayerItemStatusFailed) {
      EXPECT_EQ(item->error().value_or(NSError{}).code, -11828) << size;
    }
  }
}

TEST_F(MediaFilesTest, APictureLargerThanTheHostPlaysIsRefusedBeforeItIsDecoded) {
  // 8200 x 8200 has more pixels than the largest picture played: decoding it takes a second or
  // more of CPU and 200 MB, which a probe must not spend on a file it then refuses.
  auto path = madeMedia("picture_8200x8200.mkv", {"-f", "lavfi", "-i", "color=size=8200x8200",
                                                  "-frames:v", "1", "-c:v", "png"});
  double before = otherThreadsCpuSeconds();
  auto item = AVPlayerItem::playerItemWithAsset(
      AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(path), {}));
  ASSERT_TRUE(runUntil([&] { return item->status() != AVPlayerItemStatusUnknown; },
                       std::chrono::seconds(90)));
  EXPECT_EQ(item->status(), AVPlayerItemStatusFailed);
  EXPECT_EQ(item->error().value_or(NSError{}).code, -11828);
  EXPECT_LT(otherThreadsCpuSeconds() - before, 0.3);
}

TEST_F(MediaFilesTest, AnItemAtItsEndStaysThereUntilSoughtBack) {
  auto playback = open(MEDIA_FIXTURE);
  // The video player's way: the player neither pauses nor advances at the end.
  playback.player->setActionAtItemEnd(AVPlayerActionAtItemEndNone);
  std::atomic<int> ends{0};
  auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
      AVPlayerItemDidPlayToEndTimeNotification, playback.item.get(), nullptr,
      [&ends](const NSNotification&) { ++ends; });
  playback.player->setRate(4.0f);
  ASSERT_TRUE(runUntil([&] { return ends.load() == 1; }));
  // Asked to play again at the rate it plays at, it stays at its end: nothing more has played.
  playback.player->setRate(4.0f);
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(ends.load(), 1);
  EXPECT_EQ(CMTimeCompare(playback.item->currentTime(), playback.item->duration()), 0);
  // Sought back, it plays on at its rate to its end again.
  seek(playback, 0.5);
  ASSERT_TRUE(runUntil([&] { return ends.load() == 2; }));
  NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(MediaFilesTest, AnItemWhoseStreamsRunPastItsEndRestsThere) {
  // Transport streams joined byte by byte: the container tells the length of one, the streams
  // run on with their times repeating.
  auto part = madeMedia("part.ts", {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=1",
                                    "-f", "lavfi", "-i", "sine=duration=1", "-c:v", "libx264",
                                    "-pix_fmt", "yuv420p", "-c:a", "aac", "-f", "mpegts"});
  auto joined = av::concatenatedMedia("joined.ts", {part, part, part});
  auto playback = open(joined);
  playback.player->setActionAtItemEnd(AVPlayerActionAtItemEndNone);
  std::atomic<bool> ended{false};
  auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
      AVPlayerItemDidPlayToEndTimeNotification, playback.item.get(), nullptr,
      [&ended](const NSNotification&) { ended = true; });
  playback.player->setRate(4.0f);
  ASSERT_TRUE(runUntil([&] { return ended.load(); }));
  NSNotificationCenter::defaultCenter()->removeObserver(token);
  EXPECT_TRUE(dispatch::testing::drainUntilIdle(std::chrono::seconds(2)));
  EXPECT_LT(cpuOfOthersDuring(milliseconds(500)), 0.02);
}

TEST_F(MediaFilesTest, AFileCutOnDiskWhilePlayingEndsWhereWhatIsLeftEnds) {
  auto made = madeMedia("cut_source.mp3", {"-f", "lavfi", "-i", "sine=duration=60", "-c:a",
                                           "libmp3lame"});
  auto path = av::writtenMedia("cut_while_playing.mp3", av::fileBytes(made));
  auto playback = open(path);
  std::atomic<bool> ended{false};
  auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
      AVPlayerItemDidPlayToEndTimeNotification, playback.item.get(), nullptr,
      [&ended](const NSNotification&) { ended = true; });
  playback.player->setRate(4.0f);
  ASSERT_EQ(truncate(path.c_str(), 4000), 0);
  // What was read before the cut (a read buffer's worth, some seconds) plays; the item ends
  // there, not at 60 s.
  ASSERT_TRUE(runUntil([&] { return ended.load(); }, std::chrono::seconds(20)));
  NSNotificationCenter::defaultCenter()->removeObserver(token);
  double endedAt = CMTimeGetSeconds(playback.item->currentTime());
  EXPECT_LT(endedAt, 30.0);
}

// The file made by `arguments`, its movie header declaring 2^32 - 1 ticks.
std::string declaredLong(const std::string& name, const std::vector<std::string>& arguments) {
  auto bytes = av::fileBytes(madeMedia(name + ".mp4", arguments));
  // The duration follows the header's version, flags, two dates and time scale.
  const std::string mvhd = "mvhd";
  auto found = std::search(bytes.begin(), bytes.end(), mvhd.begin(), mvhd.end());
  if (found == bytes.end() || found[4] != 0) return {};  // version 0: 32-bit fields
  std::fill(found + 20, found + 24, 0xFF);
  return av::writtenMedia(name + "_patched.mp4", bytes);
}

TEST_F(MediaFilesTest, AnItemEndsWhereItsStreamsEndWhateverItsHeaderDeclares) {
  auto path = declaredLong("declared_long",
                           {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=3", "-f",
                            "lavfi", "-i", "sine=duration=3", "-c:v", "libx264", "-c:a", "aac"});
  ASSERT_FALSE(path.empty());
  auto playback = open(path);
  const double declared = CMTimeGetSeconds(playback.item->duration());
  ASSERT_GT(declared, 1000.0);
  std::atomic<bool> ended{false};
  auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
      AVPlayerItemDidPlayToEndTimeNotification, playback.item.get(), nullptr,
      [&ended](const NSNotification&) { ended = true; });
  playback.player->setRate(8.0f);
  EXPECT_TRUE(runUntil([&] { return ended.load(); }, std::chrono::seconds(30)));
  NSNotificationCenter::defaultCenter()->removeObserver(token);
  EXPECT_LT(CMTimeGetSeconds(playback.item->currentTime()), 4.0);
  // What the header said stays what the item reports.
  EXPECT_DOUBLE_EQ(CMTimeGetSeconds(playback.item->duration()), declared);

  // Played for its sound, a file without one has no stream to end: it ends where it stands.
  auto silent = declaredLong("declared_long_silent",
                             {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=3",
                              "-c:v", "libx264"});
  ASSERT_FALSE(silent.empty());
  auto item = AVPlayerItem::playerItemWithAsset(AVURLAsset::URLAssetWithURL(
      NSURL::fileURLWithPath(silent), {{AVURLAssetHostSoundOnlyKey, true}}));
  auto player = AVPlayer::playerWithPlayerItem(item);
  player->setActionAtItemEnd(AVPlayerActionAtItemEndPause);
  ASSERT_TRUE(runUntil([&] { return item->status() == AVPlayerItemStatusReadyToPlay; }));
  EXPECT_GT(CMTimeGetSeconds(item->duration()), 1000.0);
  std::atomic<bool> silentEnded{false};
  token = NSNotificationCenter::defaultCenter()->addObserverForName(
      AVPlayerItemDidPlayToEndTimeNotification, item.get(), nullptr,
      [&silentEnded](const NSNotification&) { silentEnded = true; });
  player->play();
  EXPECT_TRUE(runUntil([&] { return silentEnded.load(); }, std::chrono::seconds(30)));
  NSNotificationCenter::defaultCenter()->removeObserver(token);
  EXPECT_LT(CMTimeGetSeconds(item->currentTime()), 1.0);
}

}  // namespace
