// The preferences plug-in against the floor of its work, measured side by side in the same run:
// for a change, one atomic write of the domain's file (temporary file, write, flush, rename,
// flush of the directory); for a read, one check of whether the file changed (open, fstat,
// close), which every read makes so that another process's changes are seen, made on a serial
// queue and awaited on the main queue, as the plug-in keeps its file work off the main thread.
// Every plug-in case goes the whole way a Dart message goes and reports `vs_raw`, how many times
// longer it takes than its floor, next to its `goal`.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/flutter_engine.h"
#include "platform/foundation/ns_user_defaults.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/foundation/user_defaults_store.h"
#include "plugins/preferences_foundation/preferences_plugin.h"

namespace {

using flutter::Value;
using flutter::ValueList;
using Clock = std::chrono::steady_clock;

constexpr int kStoredKeys = 200;
constexpr double kGoal = 2.0;
// A read is a whole channel round trip and a look-up of the application's domain around its one
// file check (and one of the global domain's); both sides pay the same hops between threads.
constexpr double kReadGoal = 4.0;
const std::string kApi = "dev.flutter.pigeon.preferences_foundation.UserDefaultsApi.";

std::string temporaryFolder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "prefs-bench-XXXXXX").string();
    return std::string(mkdtemp(pattern.data()));
  }();
  return folder;
}

std::string keyName(int i) { return "flutter.key" + std::to_string(i); }

// The Dart side: encodes a message, hands it to the engine and pumps the main queue until the
// reply is back.
class Channel {
 public:
  Channel() : engine_(FlutterEngine::create()) {
    foundation::testing::setUserDirectoriesRoot(temporaryFolder());
    preferences_foundation::PreferencesPlugin::registerWithRegistrar(
        *engine_->registrarForPlugin("PreferencesPlugin"));
  }

  void send(const std::string& operation, ValueList arguments) {
    const auto& codec = preferences_foundation::GetMessagesCodec();
    bool done = false;
    FlutterBinaryMessage reply;
    engine_->deliverFromDartSide(kApi + operation, codec->encode(Value(std::move(arguments))),
                                 [&](FlutterBinaryMessage answer) {
                                   reply = std::move(answer);
                                   done = true;
                                 });
    dispatch::runMainQueueUntil([&] { return done; });
    const ValueList* list = reply ? codec->decode(*reply).asList() : nullptr;
    if (list == nullptr || list->size() != 1) {
      std::fprintf(stderr, "%s failed\n", operation.c_str());
      std::abort();
    }
  }

 private:
  std::shared_ptr<FlutterEngine> engine_;
};

Channel& channel() {
  static auto* const shared = new Channel();
  return *shared;
}

Value options() {
  return Value(std::make_shared<preferences_foundation::PreferencesPigeonOptions>());
}

// A domain of kStoredKeys short strings, as an application's settings look.
PropertyList::Dictionary storedDomain() {
  PropertyList::Dictionary domain;
  for (int i = 0; i < kStoredKeys; ++i)
    domain[keyName(i)] = PropertyList("value " + std::to_string(i));
  return domain;
}

// One atomic write of `bytes` to `path`, the way the store writes a domain.
void atomicWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string temporary = path + ".tmp-XXXXXX";
  int fd = mkstemp(temporary.data());
  benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
  ::fsync(fd);
  std::rename(temporary.c_str(), path.c_str());
  ::close(fd);
  int directory = ::open(temporaryFolder().c_str(), O_RDONLY | O_DIRECTORY);
  ::fsync(directory);
  ::close(directory);
}

// What a coherent read cannot do without: learn whether the domain's file is still the version
// last read (open, fstat, close).
void checkFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat status {};
  benchmark::DoNotOptimize(::fstat(fd, &status));
  ::close(fd);
}

// The file check on `queue`, waited for on the main queue.
void checkFileOnQueue(const dispatch_queue_t& queue, const std::string& path) {
  bool done = false;  // set and read on the main thread
  dispatch_async(queue, [&] {
    checkFile(path);
    dispatch_async(dispatch_get_main_queue(), [&] { done = true; });
  });
  dispatch::runMainQueueUntil([&] { return done; });
}

// Times one plug-in operation and, right beside it, its floor: by default one raw atomic write of
// a file of the stored domain's size, so that both meet the same disk.
class SideBySide {
 public:
  SideBySide()
      : bytes_(PropertyList(storedDomain()).serialize(PropertyList::Format::binary)),
        path_(temporaryFolder() + "/raw.plist") {}
  SideBySide(std::function<void()> floor, double goal) : SideBySide() {
    floor_ = std::move(floor);
    goal_ = goal;
  }

  template <typename Work>
  void run(Work work) {
    auto start = Clock::now();
    if (floor_) {
      floor_();
    } else {
      atomicWrite(path_, bytes_);
    }
    auto middle = Clock::now();
    work();
    const double raw = std::chrono::duration<double>(middle - start).count();
    if (raw > 0)
      ratios_.push_back(std::chrono::duration<double>(Clock::now() - middle).count() / raw);
  }

  // The median of the pairs' own ratios: a flush that another process's writes held up moves
  // one pair, where the ratio of the sums swung by two fifths between runs minutes apart.
  void report(benchmark::State& state) {
    std::sort(ratios_.begin(), ratios_.end());
    state.counters["vs_raw"] = ratios_.empty() ? 0.0 : ratios_[ratios_.size() / 2];
    state.counters["goal"] = goal_;
  }

 private:
  std::vector<uint8_t> bytes_;
  std::string path_;
  std::function<void()> floor_;
  double goal_ = kGoal;
  std::vector<double> ratios_;
};

void BM_Raw_AtomicWrite(benchmark::State& state) {
  const std::vector<uint8_t> bytes =
      PropertyList(storedDomain()).serialize(PropertyList::Format::binary);
  const std::string path = temporaryFolder() + "/raw.plist";
  for (auto _ : state) atomicWrite(path, bytes);
}

ValueList allKeys() {
  ValueList keys;
  for (int i = 0; i < kStoredKeys; ++i) keys.emplace_back(keyName(i));
  return keys;
}

void refill() {
  channel();
  auto defaults = NSUserDefaults::standardUserDefaults();
  for (int i = 0; i < kStoredKeys; ++i) defaults->setObject(PropertyList("value"), keyName(i));
}

void BM_Preferences_Set(benchmark::State& state) {
  refill();
  SideBySide timing;
  int i = 0;
  for (auto _ : state) {
    timing.run([&] {
      channel().send("set", {Value(keyName(i++ % kStoredKeys)), Value("changed"), options()});
    });
  }
  timing.report(state);
}

void BM_Preferences_Remove(benchmark::State& state) {
  refill();
  auto defaults = NSUserDefaults::standardUserDefaults();
  SideBySide timing;
  for (auto _ : state) {
    state.PauseTiming();
    defaults->setObject(PropertyList("back"), keyName(0));
    state.ResumeTiming();
    timing.run([&] { channel().send("clear", {Value(ValueList{Value(keyName(0))}), options()}); });
  }
  timing.report(state);
}

// Reading checks the domain's file on every call, so that a change by another process is seen;
// the file is read again only when it changed.
void BM_Preferences_GetValue(benchmark::State& state) {
  refill();
  const std::string domain = foundation::UserDefaultsStore::applicationDomainName();
  const std::string domain_file =
      temporaryFolder() + "/.config/" + domain + "/preferences/" + domain + ".plist";
  auto queue = dispatch_queue_create("bench.preferences.floor", DISPATCH_QUEUE_SERIAL);
  SideBySide timing([&] { checkFileOnQueue(queue, domain_file); }, kReadGoal);
  int i = 0;
  for (auto _ : state) {
    timing.run([&] { channel().send("getValue", {Value(keyName(i++ % kStoredKeys)), options()}); });
  }
  timing.report(state);
}

// Removing every stored key is still one write.
void BM_Preferences_ClearAll(benchmark::State& state) {
  SideBySide timing;
  for (auto _ : state) {
    state.PauseTiming();
    refill();
    state.ResumeTiming();
    timing.run([&] { channel().send("clear", {Value(allKeys()), options()}); });
  }
  timing.report(state);
}

BENCHMARK(BM_Raw_AtomicWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Preferences_Set)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Preferences_Remove)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Preferences_GetValue)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Preferences_ClearAll)->Unit(benchmark::kMicrosecond)->Iterations(20);

}  // namespace
