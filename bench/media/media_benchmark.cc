// 1080p frames decoded into a video player's texture (the library-backed item, its video output
// decoding ahead on its own thread, each frame handed out for its item time) against FFmpeg's
// own decoding of the same file into BGRA. `vs_ffmpeg` is how many times longer the texture
// path takes (goal: within 1.3); `player_bytes` is what one playing player holds in memory.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "bench/media/ffmpeg_baseline.h"
#include "platform/avfoundation/avfoundation.h"
#include "platform/avfoundation/testing/av_foundation_controls.h"
#include "platform/avfoundation/testing/media_backing_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"

namespace {

namespace av = avfoundation::testing;
using Clock = std::chrono::steady_clock;

constexpr double kFramesPerSecond = 30;

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

void BM_MemoryOfOnePlayingPlayer(benchmark::State& state) {
  int64_t held = 0;
  for (auto _ : state) {
    int64_t before = residentBytes();
    auto ready = readyItem();
    ready.player->play();
    dispatch::testing::runUntil(
        [&] { return CMTimeGetSeconds(ready.item->currentTime()) > 0.5; });
    held = residentBytes() - before;
    ready = {};
    dispatch::testing::drainUntilIdle();
  }
  state.counters["player_bytes"] = static_cast<double>(held);
}
BENCHMARK(BM_MemoryOfOnePlayingPlayer)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
