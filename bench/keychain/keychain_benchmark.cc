// The keychain calls behind the secure-storage plug-in's "read", "write" and "containsKey", with
// 32 MiB of unrelated items stored, against the same calls on a keychain holding only the item
// they address. Each case reports `vs_empty` (how many times longer the call takes among the
// unrelated items, measured in the same run) beside its `goal`: a call costs the same whatever
// else is stored. The keychains live in memory-backed files where the system has them, so that
// the ratio measures the keychain's work rather than a shared disk's flushes.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>

#include "bench/cpu_clock.h"
#include "bench/interleaved_ratio.h"
#include "platform/security/keychain_transaction.h"
#include "platform/security/sec_item.h"
#include "platform/security/sec_item_constants.h"
#include "platform/security/testing/security_controls.h"
#include "plugins/secure_store_darwin/secure_store.h"

namespace {

using secure_store_darwin::KeychainQueryParameters;
using secure_store_darwin::SecureStore;

constexpr size_t kUnrelatedBytes = size_t{32} << 20;
constexpr size_t kUnrelatedItemBytes = 8 << 10;
constexpr double kGoal = 2.0;
constexpr int kBaselineCalls = 200;

std::string temporaryFolder() {
  static const std::string folder = [] {
    namespace fs = std::filesystem;
    fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "keychain-bench-XXXXXX").string();
    return std::string(mkdtemp(pattern.data()));
  }();
  return folder;
}

KeychainQueryParameters targetParameters() {
  KeychainQueryParameters parameters;
  parameters.key = "target";
  parameters.service = "application";
  parameters.shouldReturnData = true;
  return parameters;
}

// A keychain holding the target item, and with `unrelated`, 32 MiB of other items beside it.
std::string makeKeychain(const std::string& name, bool unrelated) {
  std::string directory = temporaryFolder() + "/" + name;
  security::testing::setKeychainDirectory(directory);
  SecureStore store;
  store.writeItem(targetParameters(), "the value the benchmark reads");
  if (unrelated) {
    security::performKeychainTransaction([] {
      CFBytes data(kUnrelatedItemBytes, 0x5A);
      for (size_t index = 0; index < kUnrelatedBytes / kUnrelatedItemBytes; ++index) {
        OSStatus added = SecItemAdd({{kSecClass, kSecClassGenericPassword},
                                     {kSecAttrAccount, "unrelated-" + std::to_string(index)},
                                     {kSecAttrService, "unrelated"},
                                     {kSecUseDataProtectionKeychain, true},
                                     {kSecValueData, data}},
                                    nullptr);
        if (added != errSecSuccess) return added;
      }
      return errSecSuccess;
    });
  }
  return directory;
}

const std::string& emptyKeychain() {
  static const std::string directory = makeKeychain("empty", false);
  return directory;
}

const std::string& fullKeychain() {
  static const std::string directory = makeKeychain("full", true);
  return directory;
}

// The full keychain and the empty one take turns, round by round, and the median of the rounds'
// ratios of this process's CPU time is reported: a mean of the one over the best batch of the
// other, in wall-clock time, swung by two fifths between runs minutes apart.
void measureAgainstEmpty(benchmark::State& state, const std::function<void()>& work) {
  const std::string& full = fullKeychain();
  const std::string& empty = emptyKeychain();
  security::testing::setKeychainDirectory(full);
  work();  // opens the database
  for (auto _ : state) work();
  auto round = [&work](const std::string& directory) {
    return [&work, &directory] {
      security::testing::setKeychainDirectory(directory);
      work();  // opens the database
      const double start = bench::processCpuSeconds();
      for (int call = 0; call < kBaselineCalls; ++call) work();
      return bench::processCpuSeconds() - start;
    };
  };
  state.counters["vs_empty"] =
      benchmark::Counter(bench::interleavedRatio(31, round(full), round(empty)).median);
  state.counters["goal"] = benchmark::Counter(kGoal);
}

void BM_Keychain_Read(benchmark::State& state) {
  SecureStore store;
  measureAgainstEmpty(state, [&] { benchmark::DoNotOptimize(store.readItem(targetParameters())); });
}

void BM_Keychain_Write(benchmark::State& state) {
  SecureStore store;
  measureAgainstEmpty(state, [&] {
    benchmark::DoNotOptimize(store.writeItem(targetParameters(), "a value written again"));
  });
}

void BM_Keychain_ContainsKey(benchmark::State& state) {
  SecureStore store;
  measureAgainstEmpty(state,
                      [&] { benchmark::DoNotOptimize(store.itemExists(targetParameters())); });
}

BENCHMARK(BM_Keychain_Read)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Keychain_Write)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Keychain_ContainsKey)->Unit(benchmark::kMicrosecond);

}  // namespace
