// Seeks in the containers people have: whatever the demuxer can or cannot do (an index, a
// timestamp search, bytes only), a seek lands at or before its target, and decoding forward from
// there shows the very frame a decode from the start shows for that time.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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
using avfoundation::testing::picturesAndSound;

struct Frame {
  double time;
  size_t digest;
};

std::unique_ptr<StreamDecoder> openVideo(const std::string& path) {
  return StreamDecoder::open(path, {StreamKind::kVideo, nullptr, 0});
}

Frame frameOf(BGRAConverter& converter, const avfoundation::internal::DecodedFrame& decoded) {
  std::vector<uint8_t> pixels;
  EXPECT_TRUE(converter.convert(*decoded.frame, &pixels));
  std::string_view bytes(reinterpret_cast<const char*>(pixels.data()), pixels.size());
  return Frame{CMTimeGetSeconds(decoded.time), std::hash<std::string_view>{}(bytes)};
}

std::vector<Frame> everyFrame(const std::string& path) {
  auto decoder = openVideo(path);
  EXPECT_NE(decoder, nullptr) << path;
  std::vector<Frame> frames;
  BGRAConverter converter;
  while (decoder) {
    auto decoded = decoder->next();
    if (!decoded) break;
    frames.push_back(frameOf(converter, *decoded));
  }
  return frames;
}

// What a player shows at `seconds`: the last frame at or before it, else the first.
Frame frameAt(const std::vector<Frame>& frames, double seconds) {
  Frame shown = frames.front();
  for (const auto& frame : frames) {
    if (frame.time <= seconds + 1e-9) shown = frame;
  }
  return shown;
}

// Seeks to `seconds` and decodes forward: the frame shown there.
std::optional<Frame> shownAfterSeek(StreamDecoder& decoder, double seconds) {
  if (!decoder.seek(seconds)) return std::nullopt;
  BGRAConverter converter;
  std::optional<Frame> shown;
  while (auto decoded = decoder.next()) {
    Frame frame = frameOf(converter, *decoded);
    if (frame.time > seconds + 1e-9) {
      if (!shown) shown = frame;
      break;
    }
    shown = frame;
  }
  return shown;
}

// Backward through the file, forward in jumps, and at its edges: before the first frame, on a
// frame's own time, and between the last frame and the end.
std::vector<double> targets(const std::vector<Frame>& frames) {
  double end = frames.back().time + 0.2;
  std::vector<double> all;
  for (double at = end; at >= 0; at -= 0.13) all.push_back(at);
  for (double at = 0; at <= end; at += 0.37) all.push_back(at);
  for (double at : {0.0, frames.front().time, frames.front().time + 0.001, frames[1].time,
                    frames.back().time, frames.back().time + 0.01, 0.0}) {
    all.push_back(at);
  }
  return all;
}

void expectSeeksShowFFmpegsFrames(const std::string& path) {
  auto frames = everyFrame(path);
  ASSERT_GT(frames.size(), 2u) << path;
  auto decoder = openVideo(path);
  ASSERT_NE(decoder, nullptr);
  int wrong = 0;
  for (double target : targets(frames)) {
    auto shown = shownAfterSeek(*decoder, target);
    Frame expected = frameAt(frames, target);
    if (!shown || shown->time != expected.time || shown->digest != expected.digest) {
      ADD_FAILURE() << path << ": a seek to " << target << " s shows "
                    << (shown ? std::to_string(shown->time) : "nothing") << ", not "
                    << expected.time;
      if (++wrong == 3) return;
    }
  }
}

// The audio after a seek starts at or before the target (or where the sound starts), so that
// nothing of it is lost.
void expectAudioSeeksLandAtOrBefore(const std::string& path) {
  auto decoder = StreamDecoder::open(path, {StreamKind::kAudio, nullptr, 0});
  ASSERT_NE(decoder, nullptr) << path;
  auto opening = decoder->next();
  ASSERT_TRUE(opening.has_value()) << path;
  const double start = CMTimeGetSeconds(opening->time);
  for (double target : {3.1, 0.7, 2.45, 0.0, 1.3}) {
    ASSERT_TRUE(decoder->seek(target)) << path;
    auto first = decoder->next();
    ASSERT_TRUE(first.has_value()) << path << " at " << target;
    EXPECT_LE(CMTimeGetSeconds(first->time), std::max(target, start) + 1e-6) << path;
  }
}

TEST(StreamDecoderSeekTest, ContainersSearchedByTimestampLandBeforeTheTarget) {
  // One key frame in a transport stream, a program stream, and a transport stream whose clock
  // wraps around in the middle.
  auto ts = madeMedia("seek.ts", picturesAndSound({"-c:v", "libx264", "-g", "250", "-pix_fmt",
                                                       "yuv420p", "-c:a", "aac", "-f", "mpegts"}));
  auto ps = madeMedia("seek.mpg", picturesAndSound({"-c:v", "mpeg2video", "-g", "12", "-bf",
                                                        "2", "-c:a", "mp2", "-f", "mpeg"}));
  auto wrapping = madeMedia(
      "wrapping.ts", picturesAndSound({"-c:v", "libx264", "-g", "50", "-pix_fmt", "yuv420p",
                                           "-c:a", "aac", "-output_ts_offset", "95443", "-f",
                                           "mpegts"}));
  for (const auto& path : {ts, ps, wrapping}) {
    expectSeeksShowFFmpegsFrames(path);
    expectAudioSeeksLandAtOrBefore(path);
  }
}

TEST(StreamDecoderSeekTest, IndexedContainersLandBeforeTheTargetAtAnyRate) {
  auto avi = madeMedia("seek.avi", picturesAndSound({"-c:v", "mjpeg", "-c:a", "pcm_s16le"}));
  auto ogg = madeMedia("seek.ogv", picturesAndSound({"-c:v", "libtheora", "-g", "30", "-c:a",
                                                         "libvorbis"}));
  auto flv = madeMedia("seek.flv", picturesAndSound({"-c:v", "libx264", "-g", "50", "-pix_fmt",
                                                         "yuv420p", "-c:a", "aac"}));
  auto fast = madeMedia("thousand_fps.mkv",
                        {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=1000:duration=1", "-c:v",
                         "libx264", "-pix_fmt", "yuv420p"});
  // Video that starts half a second after the sound.
  auto late = madeMedia("late_start.mkv",
                        {"-f", "lavfi", "-i", "sine=duration=2", "-itsoffset", "0.5", "-f",
                         "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1.5", "-c:v",
                         "libx264", "-pix_fmt", "yuv420p", "-c:a", "pcm_s16le"});
  for (const auto& path : {avi, ogg, flv, fast, late}) expectSeeksShowFFmpegsFrames(path);
  for (const auto& path : {avi, ogg, flv}) expectAudioSeeksLandAtOrBefore(path);
}

TEST(StreamDecoderSeekTest, AFileThatStartsLateShowsItsPicturesAtTheirOwnTimes) {
  // The header counts the length from the file's zero: one second of pictures from 2 s on.
  for (const char* container : {"mkv", "mp4"}) {
    auto late = madeMedia(std::string("two_seconds_late.") + container,
                          {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1",
                           "-output_ts_offset", "2", "-c:v", "libx264", "-pix_fmt", "yuv420p"});
    auto decoder = StreamDecoder::open(late, {StreamKind::kVideo, nullptr, 0});
    ASSERT_NE(decoder, nullptr) << late;
    auto first = decoder->next();
    ASSERT_TRUE(first.has_value()) << late;
    EXPECT_NEAR(CMTimeGetSeconds(first->time), 2.0, 1e-6) << late;
    auto shown = shownAfterSeek(*decoder, 2.5);
    ASSERT_TRUE(shown.has_value()) << late;
    EXPECT_NEAR(shown->time, 2.48, 1e-6) << late;
  }
}

}  // namespace
