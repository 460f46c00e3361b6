// A video player over a 1080p file, as the texture path drives it: the frames it decodes into
// the texture against FFmpeg's own decoding of the same file (the host's one decode loop without
// a player around it), and what one player costs while paused and while playing: the memory it
// holds and the CPU its decoders use. Each cost is reported beside the limit decisions.md states.
//
//   vs_ffmpeg        how many times longer the texture path takes than the bare loop (goal: 1.3)
//   held_bytes       the pictures a player holds by its own count: the frame shown, those ahead
//                    and what its decoder keeps for it
//   held_limit_bytes the most it may hold: one 1080p frame shown plus 64 MiB (4 frames) ahead
//   rss_bytes        what the process grew by for the player
//   cpu_per_second   CPU seconds its decoders use per second (0 paused: nothing runs)
//   threads_held     threads beyond the shared pool's that go when the paused player goes
//                    (limit 0; the pool's idle threads leave on their own after 5 s)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "bench/media/ffmpeg_baseline.h"
#include "platform/avfoundation/avfoundation.h"
#include "platform/avfoundation/internal/video_frame_queue.h"
#include "platform/avfoundation/testing/av_foundation_controls.h"
#include "platform/avfoundation/testing/av_video_output_controls.h"
#include "platform/avfoundation/testing/media_backing_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/dispatch/testing/process_threads.h"

namespace {

namespace av = avfoundation::testing;
using Clock = std::chrono::steady_clock;
using dispatch::testing::otherThreadsCpuSeconds;
using dispatch::testing::threadsOutsideThePool;

constexpr double kFramesPerSecond = 30;
constexpr double kFrameBytes = 1920.0 * 1080 * 4;

double ffmpegSeconds() {
  auto start = Clock::now();
  benchmark::DoNotOptimize(ffmpegDecodeToBGRA(BENCH_MEDIA_CLIP));
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Resident memory of the process in bytes.
int64_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4096;
}

struct ReadyItem {
  std::shared_ptr<AVPlayerItem> item;
  std::shared_ptr<AVPlayerItemVideoOutput> output;
  std::shared_ptr<AVPlayer> player;
};

ReadyItem readyItem() {
  av::useMediaLibrary();
  ReadyItem ready;
  ready.item = AVPlayerItem::playerItemWithAsset(
      AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(BENCH_MEDIA_CLIP), {}));
  ready.output = std::make_shared<AVPlayerItemVideoOutput>(AVOutputSettings{});
  ready.item->addOutput(ready.output);
  ready.player = AVPlayer::playerWithPlayerItem(ready.item);
  dispatch::testing::runUntil(
      [&] { return ready.item->status() == AVPlayerItemStatusReadyToPlay; });
  return ready;
}

// Every frame of the clip taken from the output for its item time, as the texture takes them.
int64_t textureFrames(ReadyItem& ready) {
  int64_t frames = 0;
  int64_t total = static_cast<int64_t>(CMTimeGetSeconds(ready.item->duration()) * kFramesPerSecond);
  for (int64_t index = 0; index < total; ++index) {
    CMTime time = CMTimeMake(index, static_cast<int32_t>(kFramesPerSecond));
    av::setCurrentTime(*ready.item, time);
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!ready.output->hasNewPixelBufferForItemTime(time) && Clock::now() < deadline) {
      std::this_thread::yield();
    }
    if (ready.output->copyPixelBufferForItemTime(time, nullptr)) ++frames;
  }
  return frames;
}

// Pumps the main queue for `span`; the CPU the other threads used per second meanwhile.
double cpuPerSecondDuring(std::chrono::milliseconds span) {
  double before = otherThreadsCpuSeconds();
  auto start = Clock::now();
  dispatch::testing::runUntil([&] { return Clock::now() - start >= span; }, span * 2);
  double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  return (otherThreadsCpuSeconds() - before) / elapsed;
}

void reportLimits(benchmark::State& state) {
  state.counters["held_limit_bytes"] =
      kFrameBytes + static_cast<double>(avfoundation::internal::kVideoBytesAhead);
  state.counters["held_limit_frames"] = 1 + avfoundation::internal::kVideoFramesAhead;
}

void BM_Decode1080pIntoTheTexture(benchmark::State& state) {
  double texture = 0, baseline = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto ready = readyItem();
    state.ResumeTiming();
    auto start = Clock::now();
    frames = textureFrames(ready);
    texture += std::chrono::duration<double>(Clock::now() - start).count();
    state.PauseTiming();
    baseline += ffmpegSeconds();
    ready = {};
    dispatch::testing::drainUntilIdle();
    state.ResumeTiming();
  }
  state.counters["frames"] = static_cast<double>(frames);
  state.counters["vs_ffmpeg"] = baseline > 0 ? texture / baseline : 0;
}
BENCHMARK(BM_Decode1080pIntoTheTexture)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OnePausedPlayer(benchmark::State& state) {
  double held = 0, rss = 0, cpu = 0, threads = 0;
  for (auto _ : state) {
    int64_t before = residentBytes();
    auto ready = readyItem();
    dispatch::testing::runUntil(
        [&] { return ready.output->hasNewPixelBufferForItemTime(kCMTimeZero); });
    ready.output->copyPixelBufferForItemTime(kCMTimeZero, nullptr);
    dispatch::testing::drainUntilIdle();
    cpu = cpuPerSecondDuring(std::chrono::seconds(1));
    held = static_cast<double>(av::heldVideoBytes(*ready.output));
    rss = static_cast<double>(residentBytes() - before);
    int paused = threadsOutsideThePool();
    ready = {};
    dispatch::testing::drainUntilIdle();
    threads = paused - threadsOutsideThePool();
  }
  state.counters["held_bytes"] = held;
  state.counters["rss_bytes"] = rss;
  state.counters["cpu_per_second"] = cpu;
  state.counters["threads_held"] = threads;
  reportLimits(state);
}
BENCHMARK(BM_OnePausedPlayer)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_OnePlayingPlayer(benchmark::State& state) {
  double held = 0, rss = 0, cpu = 0;
  for (auto _ : state) {
    int64_t before = residentBytes();
    auto ready = readyItem();
    ready.player->play();
    dispatch::testing::runUntil(
        [&] { return CMTimeGetSeconds(ready.item->currentTime()) > 0.2; });
    // Taken as a texture takes them, once per display refresh.
    double sampled = 0;
    int samples = 0;
    auto start = Clock::now();
    double cpuBefore = otherThreadsCpuSeconds();
    while (Clock::now() - start < std::chrono::seconds(1)) {
      ready.output->copyPixelBufferForItemTime(ready.item->currentTime(), nullptr);
      sampled += static_cast<double>(av::heldVideoBytes(*ready.output));
      ++samples;
      auto next = Clock::now() + std::chrono::milliseconds(16);
      dispatch::testing::runUntil([&] { return Clock::now() >= next; });
    }
    cpu = (otherThreadsCpuSeconds() - cpuBefore) /
          std::chrono::duration<double>(Clock::now() - start).count();
    held = samples > 0 ? sampled / samples : 0;
    rss = static_cast<double>(residentBytes() - before);
    ready = {};
    dispatch::testing::drainUntilIdle();
  }
  state.counters["held_bytes"] = held;
  state.counters["rss_bytes"] = rss;
  state.counters["cpu_per_second"] = cpu;
  reportLimits(state);
}
BENCHMARK(BM_OnePlayingPlayer)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
