// The file fuzzer: feeds one of the host's file readers (PDF, media, property lists) mutations of
// well-formed seed files, in process. It fails on a crash or sanitizer report, and on an input
// that a reader takes longer than the bound to read; either way the input is written to the
// artifacts directory and its path printed, to rerun with --input.
//
//   file_fuzzer --target pdf|media|plist [--seed N|random] [--runs N] [--seconds S]
//               [--max-bytes N] [--timeout-ms MS] [--seeds DIR] [--artifacts DIR]
//               [--input FILE]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tools/file_fuzzer/mutator.h"
#include "tools/file_fuzzer/open_findings.h"
#include "tools/file_fuzzer/targets.h"
#include "tools/fuzzing/crash_report.h"
#include "tools/fuzzing/fuzzer_options.h"
#include "tools/fuzzing/seed_files.h"

namespace file_fuzzer {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  std::string target;
  uint64_t seed = 1;
  size_t runs = 0;     // no limit
  double seconds = 0;  // no limit
  size_t max_bytes = 512 << 10;
  std::chrono::milliseconds timeout{20000};
  std::string seeds_directory;
  std::string artifacts_directory = ".";
  std::string input;
};

bool parseOptions(int argc, char** argv, Options& options) {
  fuzzing::FuzzerOptions parser;
  parser.text("--target", options.target);
  parser.seed("--seed", options.seed);
  parser.count("--runs", options.runs);
  parser.seconds("--seconds", options.seconds);
  parser.count("--max-bytes", options.max_bytes);
  parser.milliseconds("--timeout-ms", options.timeout);
  parser.text("--seeds", options.seeds_directory);
  parser.text("--artifacts", options.artifacts_directory);
  parser.text("--input", options.input);
  if (!parser.parse(argc, argv)) return false;
  options.max_bytes = std::max<size_t>(1, options.max_bytes);
  return true;
}

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The input being read, kept where a dying process can still write it out.
struct InFlight {
  char artifact_path[4096] = {};
  std::string bytes;
  std::atomic<bool> reading{false};
};
InFlight& inFlight() {
  static auto* const flight = new InFlight();
  return *flight;
}

// Writes the input to its artifact path with plain system calls: the process may be dying.
void writeArtifact(const char* why) {
  InFlight& flight = inFlight();
  if (!flight.reading.load()) return;
  int descriptor = ::open(flight.artifact_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (descriptor >= 0) {
    size_t written = 0;
    while (written < flight.bytes.size()) {
      ssize_t n = ::write(descriptor, flight.bytes.data() + written, flight.bytes.size() - written);
      if (n <= 0) break;
      written += static_cast<size_t>(n);
    }
    ::close(descriptor);
  }
  std::fprintf(stderr, "file_fuzzer: FINDING: %s; the input is in %s (%zu bytes)\n", why,
               flight.artifact_path, flight.bytes.size());
}

void reportCrash() { writeArtifact("the process died reading an input"); }

// Ends the process when one input takes longer than the bound: a reader cannot be stopped from
// outside in process.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::milliseconds bound)
      : bound_(bound), thread_([this] { watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void started() {
    std::lock_guard lock(mutex_);
    started_ = Clock::now();
    ++generation_;
  }
  void finished() {
    std::lock_guard lock(mutex_);
    started_.reset();
  }

 private:
  void watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (!started_) {
        wake_.wait_for(lock, std::chrono::milliseconds(100));
        continue;
      }
      const uint64_t generation = generation_;
      const auto deadline = *started_ + bound_;
      wake_.wait_until(lock, deadline,
                       [&] { return stopping_ || generation_ != generation || !started_; });
      if (!stopping_ && started_ && generation_ == generation && Clock::now() >= deadline) {
        writeArtifact(
            ("an input took more than " + std::to_string(bound_.count()) + " ms").c_str());
        std::fflush(stderr);
        std::_Exit(1);
      }
    }
  }

  std::chrono::milliseconds bound_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Clock::time_point> started_;
  uint64_t generation_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

std::vector<fuzzing::SeedFile> seedsFor(const std::string& target) {
  if (target == "pdf") return fuzzing::pdfSeeds();
  if (target == "media") return fuzzing::mediaSeeds();
  return fuzzing::propertyListSeeds();
}

int run(const Options& options, const Target& target) {
  std::vector<std::string> corpus;
  for (const auto& seed : seedsFor(options.target)) corpus.push_back(seed.bytes);
  if (!options.seeds_directory.empty()) {
    for (const auto& entry : fs::directory_iterator(options.seeds_directory)) {
      if (entry.is_regular_file()) corpus.push_back(readFile(entry.path()));
    }
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "file_fuzzer: no seed files for %s\n", target.name);
    return 2;
  }
  const size_t seed_count = corpus.size();

  InFlight& flight = inFlight();
  std::snprintf(flight.artifact_path, sizeof flight.artifact_path, "%s/file-fuzzer-%s-%llu.bin",
                options.artifacts_directory.c_str(), target.name,
                static_cast<unsigned long long>(options.seed));
  std::printf("file_fuzzer: %s, seed %llu (rerun with --seed %llu), %zu seed files\n", target.name,
              static_cast<unsigned long long>(options.seed),
              static_cast<unsigned long long>(options.seed), seed_count);
  std::fflush(stdout);

  std::mt19937_64 random(options.seed);
  Mutator mutator(random, target.tokens, options.max_bytes);
  Watchdog watchdog(options.timeout);
  const auto start = Clock::now();
  size_t runs = 0, accepted = 0, skipped = 0;
  double slowest = 0;
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  while ((options.runs == 0 || runs + skipped < options.runs) &&
         (options.seconds <= 0 || elapsed() < options.seconds)) {
    // The seeds as they are first, then mutations of the seeds and of inputs the reader took.
    std::string input =
        runs < seed_count ? corpus[runs] : mutator.mutate(corpus[random() % corpus.size()], corpus);
    if (openFindingFor(target.name, input) != nullptr) {
      ++skipped;
      continue;
    }
    flight.bytes = input;
    flight.reading = true;
    watchdog.started();
    const auto input_start = Clock::now();
    const bool took = target.read(input);
    slowest = std::max(slowest, std::chrono::duration<double>(Clock::now() - input_start).count());
    watchdog.finished();
    flight.reading = false;
    ++runs;
    if (took) {
      ++accepted;
      // A bounded pool of what the reader took: structure worth mutating further.
      if (corpus.size() < seed_count + 256) {
        corpus.push_back(std::move(input));
      } else {
        corpus[seed_count + random() % 256] = std::move(input);
      }
    }
  }
  std::printf(
      "file_fuzzer: %s, seed %llu: %zu inputs in %.1f s, %zu read as valid, slowest %.2f s, "
      "%zu left out as open findings; no finding\n",
      target.name, static_cast<unsigned long long>(options.seed), runs, elapsed(), accepted,
      slowest, skipped);
  return 0;
}

}  // namespace
}  // namespace file_fuzzer

int main(int argc, char** argv) {
  using namespace file_fuzzer;
  Options options;
  if (!parseOptions(argc, argv, options)) return 2;
  const Target* target = nullptr;
  for (const auto& candidate : targets()) {
    if (options.target == candidate.name) target = &candidate;
  }
  if (target == nullptr) {
    std::fprintf(stderr, "file_fuzzer: --target must be pdf, media or plist\n");
    return 2;
  }
  fuzzing::onFatalError(reportCrash);
  if (!options.input.empty()) {
    // One input, to reproduce a finding.
    std::string bytes = readFile(options.input);
    std::printf("file_fuzzer: %s read %s: %s\n", target->name, options.input.c_str(),
                target->read(bytes) ? "valid" : "refused");
    return 0;
  }
  return run(options, *target);
}
