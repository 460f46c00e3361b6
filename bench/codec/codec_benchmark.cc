// Throughput of the standard codec, each case against the honest baseline for the same work in
// the same run: encoding typed data against memcpy of its bytes, decoding strings against
// constructing the same std::strings from the bytes, decoding nested maps and lists against
// allocating the same tree, and encoding nested values against their decode. Every case reports
// `vs_memcpy`; the cases with a goal report `ratio` (to their baseline) and `goal` beside it.
// Ratios are of CPU time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/cpu_clock.h"
#include "bench/interleaved_ratio.h"
#include "platform/flutter/flutter_standard_codec.h"

namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

// The thread's CPU time: ratios stay honest while other work shares the machine.
struct Clock {
  using time_point = std::chrono::nanoseconds;
  static time_point now() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
  }
};

enum Kind { kTypedData, kStrings, kNested };
const char* kKindNames[] = {"typed_data", "strings", "nested"};

constexpr int kStringCount = 4096;
constexpr int kRowCount = 1024;
constexpr int kBaselineRounds = 200;

std::string entryText(int i) { return "entry number " + std::to_string(i); }

Value typedData() { return Value(std::vector<double>(1 << 16, 1.5)); }

Value strings() {
  ValueList list;
  for (int i = 0; i < kStringCount; ++i) list.emplace_back(entryText(i));
  return Value(std::move(list));
}

// The rows of a query reply; `reserved` builds it as tightly as a decoder that knows the sizes.
Value nested() {
  ValueList rows;
  rows.reserve(kRowCount);
  for (int i = 0; i < kRowCount; ++i) {
    ValueMap row;
    row.reserve(4);
    row.append(Value("id"), Value(int64_t{i}));
    row.append(Value("name"), Value("row"));
    row.append(Value("score"), Value(i * 0.5));
    ValueList tags;
    tags.reserve(3);
    tags.emplace_back("a");
    tags.emplace_back(true);
    tags.emplace_back();
    row.append(Value("tags"), Value(std::move(tags)));
    rows.emplace_back(std::move(row));
  }
  return Value(std::move(rows));
}

Value payload(Kind kind) {
  switch (kind) {
    case kTypedData:
      return typedData();
    case kStrings:
      return strings();
    case kNested:
      return nested();
  }
  return Value();
}

const FlutterStandardMessageCodec& codec() { return *FlutterStandardMessageCodec::sharedInstance(); }

template <typename Work>
double nanosecondsPerRound(Work work) {
  work();  // warm
  auto start = Clock::now();
  for (int i = 0; i < kBaselineRounds; ++i) work();
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kBaselineRounds;
}

double memcpyNanoseconds(size_t size) {
  std::vector<uint8_t> source(size, 1), target(size);
  return nanosecondsPerRound([&] {
    std::memcpy(target.data(), source.data(), size);
    benchmark::ClobberMemory();
  });
}

// Constructing the std::strings the message holds, straight from its bytes.
std::function<void()> stringsBaseline(const FlutterBytes& bytes) {
  std::vector<std::pair<size_t, size_t>> slices;
  for (int i = 0; i < kStringCount; ++i) {
    std::string text = entryText(i);
    auto found = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
    slices.emplace_back(static_cast<size_t>(found - bytes.begin()), text.size());
  }
  return [&bytes, slices = std::move(slices)] {
    std::vector<std::string> texts;
    texts.reserve(slices.size());
    for (auto [offset, length] : slices) {
      texts.emplace_back(reinterpret_cast<const char*>(bytes.data()) + offset, length);
    }
    benchmark::DoNotOptimize(texts);
  };
}

void report(benchmark::State& state, size_t size, Clock::time_point start) {
  std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
  double per_iteration = elapsed.count() / static_cast<double>(state.iterations());
  state.counters["vs_memcpy"] = per_iteration / memcpyNanoseconds(size);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.SetLabel(kKindNames[state.range(0)]);
}

// The goal's ratio, taken from rounds of the path and its baseline in turns (thread CPU time).
template <typename Path, typename Baseline>
void reportGoal(benchmark::State& state, Path path, Baseline baseline, double goal) {
  constexpr int kRounds = 31;
  // Rounds of some milliseconds each: a round of a few hundred microseconds of thread CPU time
  // swung by a fifth between runs on a busy machine.
  constexpr int kRunsPerRound = 200;
  auto timed = [](auto& work) {
    return [&work] {
      const double start = bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
      for (int i = 0; i < kRunsPerRound; ++i) work();
      return bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
    };
  };
  auto ratio = bench::interleavedRatio(kRounds, timed(path), timed(baseline));
  state.counters["baseline_ns"] = ratio.baselineTime * 1e9 / kRunsPerRound;
  state.counters["ratio"] = ratio.median;
  state.counters["goal"] = goal;
}

void BM_Encode(benchmark::State& state) {
  auto kind = static_cast<Kind>(state.range(0));
  Value value = payload(kind);
  auto bytes = codec().encode(value);
  auto start = Clock::now();
  for (auto _ : state) benchmark::DoNotOptimize(codec().encode(value));
  report(state, bytes.size(), start);
  auto encode = [&] { benchmark::DoNotOptimize(codec().encode(value)); };
  if (kind == kTypedData) {
    std::vector<uint8_t> target(bytes.size());
    reportGoal(state, encode, [&] {
      std::memcpy(target.data(), bytes.data(), bytes.size());
      benchmark::ClobberMemory();
    }, 1.5);
  }
  if (kind == kNested) {
    reportGoal(state, encode, [&] { benchmark::DoNotOptimize(codec().decode(bytes)); }, 3);
  }
}

void BM_Decode(benchmark::State& state) {
  auto kind = static_cast<Kind>(state.range(0));
  auto bytes = codec().encode(payload(kind));
  auto start = Clock::now();
  for (auto _ : state) benchmark::DoNotOptimize(codec().decode(bytes));
  report(state, bytes.size(), start);
  auto decode = [&] { benchmark::DoNotOptimize(codec().decode(bytes)); };
  if (kind == kStrings) reportGoal(state, decode, stringsBaseline(bytes), 1.5);
  if (kind == kNested) reportGoal(state, decode, [] { benchmark::DoNotOptimize(nested()); }, 2);
}

// The honest baseline: copying the encoded bytes.
void BM_Memcpy(benchmark::State& state) {
  auto bytes = codec().encode(payload(static_cast<Kind>(state.range(0))));
  std::vector<uint8_t> target(bytes.size());
  for (auto _ : state) {
    std::memcpy(target.data(), bytes.data(), bytes.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.SetLabel(kKindNames[state.range(0)]);
}

BENCHMARK(BM_Memcpy)->DenseRange(0, 2);
BENCHMARK(BM_Encode)->DenseRange(0, 2);
BENCHMARK(BM_Decode)->DenseRange(0, 2);

}  // namespace
