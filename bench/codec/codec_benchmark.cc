// Throughput of the standard codec against memcpy of the same bytes. Each encode and decode case
// reports `vs_memcpy`: how many times longer it takes than copying its encoded bytes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "platform/flutter/flutter_standard_codec.h"

namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

Value typedData() { return Value(std::vector<double>(1 << 16, 1.5)); }

Value strings() {
  ValueList list;
  for (int i = 0; i < 4096; ++i) list.emplace_back("entry number " + std::to_string(i));
  return Value(std::move(list));
}

Value nested() {
  ValueList rows;
  for (int i = 0; i < 1024; ++i) {
    ValueMap row;
    row.append(Value("id"), Value(int64_t{i}));
    row.append(Value("name"), Value("row"));
    row.append(Value("score"), Value(i * 0.5));
    row.append(Value("tags"), Value(ValueList{Value("a"), Value(true), Value()}));
    rows.emplace_back(std::move(row));
  }
  return Value(std::move(rows));
}

Value payload(int kind) {
  switch (kind) {
    case 0:
      return typedData();
    case 1:
      return strings();
    default:
      return nested();
  }
}

const char* kKindNames[] = {"typed_data", "strings", "nested"};

// Nanoseconds to copy `size` bytes, the baseline every case is divided by.
double memcpyNanoseconds(size_t size) {
  std::vector<uint8_t> source(size, 1), target(size);
  constexpr int kRounds = 2000;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) {
    std::memcpy(target.data(), source.data(), size);
    benchmark::ClobberMemory();
  }
  std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / kRounds;
}

void reportRatio(benchmark::State& state, size_t size, std::chrono::steady_clock::time_point start) {
  std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  double per_iteration = elapsed.count() / static_cast<double>(state.iterations());
  state.counters["vs_memcpy"] = per_iteration / memcpyNanoseconds(size);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.SetLabel(kKindNames[state.range(0)]);
}

void BM_Encode(benchmark::State& state) {
  Value value = payload(static_cast<int>(state.range(0)));
  const auto& codec = *FlutterStandardMessageCodec::sharedInstance();
  size_t size = codec.encode(value).size();
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) benchmark::DoNotOptimize(codec.encode(value));
  reportRatio(state, size, start);
}

void BM_Decode(benchmark::State& state) {
  const auto& codec = *FlutterStandardMessageCodec::sharedInstance();
  auto bytes = codec.encode(payload(static_cast<int>(state.range(0))));
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) benchmark::DoNotOptimize(codec.decode(bytes));
  reportRatio(state, bytes.size(), start);
}

// The honest baseline: copying the encoded bytes.
void BM_Memcpy(benchmark::State& state) {
  auto bytes = FlutterStandardMessageCodec::sharedInstance()->encode(
      payload(static_cast<int>(state.range(0))));
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
