// The channel fuzzer: registers every plug-in as the host does, then sends every channel that has
// a handler thousands of generated messages, shaped by that plug-in's own words. It fails on a
// crash or sanitizer report (the process dies, with the message that did it on standard error),
// on a message answered twice, and on a message not answered within the bound.
//
//   channel_fuzzer [--seed N|random] [--messages-per-channel N] [--seconds S]
//                  [--answer-bound-ms MS] [--channel PART] [--verbose]
//
// --channel limits the run to channels whose name holds PART, to reproduce a finding.
//
// Everything it touches lives in a temporary directory: the user's directories, the working
// directory and the temporary directory all point there.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "host/generated_plugin_registrant.h"
#include "platform/appkit/testing/sharing_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/flutter/flutter_faults.h"
#include "platform/flutter/flutter_view_controller.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "tools/channel_fuzzer/exclusions.h"
#include "tools/channel_fuzzer/message_generator.h"
#include "tools/channel_fuzzer/vocabulary.h"
#include "tools/fuzzing/crash_report.h"

namespace channel_fuzzer {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  uint64_t seed = 1;
  size_t messages_per_channel = 1000;
  double seconds = 0;  // no limit
  std::chrono::milliseconds answer_bound{5000};
  std::string channel_filter;
  bool verbose = false;
};

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* value = nullptr;
    if (argument == "--verbose") {
      options.verbose = true;
    } else if (argument == "--seed" && (value = next())) {
      options.seed = std::string(value) == "random" ? std::random_device()() * 65537ull +
                                                          std::random_device()()
                                                    : std::strtoull(value, nullptr, 10);
    } else if (argument == "--messages-per-channel" && (value = next())) {
      options.messages_per_channel = std::strtoull(value, nullptr, 10);
    } else if (argument == "--seconds" && (value = next())) {
      options.seconds = std::strtod(value, nullptr);
    } else if (argument == "--channel" && (value = next())) {
      options.channel_filter = value;
    } else if (argument == "--answer-bound-ms" && (value = next())) {
      options.answer_bound = std::chrono::milliseconds(std::strtoll(value, nullptr, 10));
    } else {
      std::fprintf(stderr, "unknown or incomplete option: %s\n", argument.c_str());
      return false;
    }
  }
  return true;
}

std::string hex(const Bytes& bytes, size_t limit = 512) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  if (bytes.size() > limit) text += "... (" + std::to_string(bytes.size()) + " bytes)";
  return text;
}

// The message in flight, for the report of a crash.
struct InFlight {
  std::string channel;
  std::string method;
  Bytes bytes;
};
InFlight& inFlight() {
  static auto* const message = new InFlight();
  return *message;
}

void reportInFlight() {
  const auto& message = inFlight();
  std::fprintf(stderr, "channel_fuzzer: the process died on channel '%s', method '%s', bytes %s\n",
               message.channel.c_str(), message.method.c_str(), hex(message.bytes).c_str());
}

// A Dart side that hears the host's events and calls and answers none of them.
class SilentDartSide final : public FlutterDartSide {
 public:
  void messageFromHost(const std::string&, FlutterBinaryMessage, FlutterBinaryReply reply) override {
    if (reply) reply(std::nullopt);
  }
};

// The operation a Pigeon message channel carries: "dev.flutter.pigeon.<package>.<Api>.<op>...".
std::string operationOf(const std::string& channel) {
  size_t start = 0;
  for (int dots = 0; dots < 5; ++dots) {
    start = channel.find('.', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  return channel.substr(start, channel.find('.', start) - start);
}

bool isMessageChannel(const std::string& channel) {
  return channel.rfind("dev.flutter.pigeon.", 0) == 0;
}

struct Finding {
  std::string kind;
  std::string channel;
  std::string method;
  Bytes bytes;
};

class Fuzzer {
 public:
  Fuzzer(const Options& options, std::shared_ptr<FlutterEngine> engine)
      : options_(options), engine_(std::move(engine)), random_(options.seed) {}

  int run() {
    const auto start = Clock::now();
    auto outOfTime = [&] {
      return options_.seconds > 0 &&
             std::chrono::duration<double>(Clock::now() - start).count() > options_.seconds;
    };
    const size_t batch = std::max<size_t>(1, std::min<size_t>(50, options_.messages_per_channel));
    bool more = true;
    while (more && !outOfTime() && findings_.size() < kMaxFindings) {
      more = false;
      // Channels made at run time (a player's, a connection's) join the next round.
      for (const auto& channel : engine_->messenger().channelsWithHandlers()) {
        if (channel.find(options_.channel_filter) == std::string::npos) continue;
        size_t& sent = sent_[channel];
        if (sent >= options_.messages_per_channel) continue;
        more = true;
        const auto words = wordsForChannel(channel);
        const auto round_start = Clock::now();
        for (size_t i = 0; i < batch && sent < options_.messages_per_channel; ++i) {
          if (sendOne(channel, words)) ++sent;
        }
        seconds_[channel] += std::chrono::duration<double>(Clock::now() - round_start).count();
        if (outOfTime() || findings_.size() >= kMaxFindings) break;
      }
    }
    dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
    collectFaults("(after the run)", "", {});
    return report(std::chrono::duration<double>(Clock::now() - start).count());
  }

 private:
  static constexpr size_t kMaxFindings = 50;

  // Answers false when the generated call may not be sent.
  bool sendOne(const std::string& channel, const std::vector<std::string>& words) {
    MessageGenerator generator(random_, words);
    GeneratedMessage message;
    if (isMessageChannel(channel)) {
      message.bytes = generator.messageArguments();
      message.method = operationOf(channel);
    } else {
      message = generator.methodCall();
    }
    if (findExcluded(kEndsTheApplication, channel, message.method) ||
        findExcluded(kOpenFindings, channel, message.method)) {
      return false;
    }
    const bool waits_on_user = findExcluded(kWaitsOnTheUser, channel, message.method) != nullptr;

    auto& flight = inFlight();
    flight.channel = channel;
    flight.method = message.method;
    flight.bytes = std::move(message.bytes);
    if (options_.verbose) {
      std::fprintf(stderr, "%s %s %s\n", channel.c_str(), flight.method.c_str(),
                   hex(flight.bytes, 64).c_str());
    }

    auto answers = std::make_shared<std::atomic<int>>(0);
    engine_->deliverFromDartSide(channel, flight.bytes,
                                 [answers](FlutterBinaryMessage) { answers->fetch_add(1); });
    if (!waits_on_user &&
        !dispatch::testing::runUntil([&] { return answers->load() > 0; }, options_.answer_bound)) {
      addFinding({"not answered within " + std::to_string(options_.answer_bound.count()) + " ms",
                  channel, flight.method, flight.bytes});
    }
    collectFaults(channel, flight.method, flight.bytes);
    ++total_;
    return true;
  }

  void collectFaults(const std::string& channel, const std::string& method, const Bytes& bytes) {
    for (const auto& fault : flutter::takeFaults()) {
      if (fault.find("answered twice") != std::string::npos) {
        addFinding({"answered twice: " + fault, channel, method, bytes});
      } else if (other_faults_.size() < 20) {
        other_faults_.push_back(fault);
      }
    }
  }

  // Printed at once as well, so that a later crash does not lose it.
  void addFinding(Finding finding) {
    std::fprintf(stderr, "channel_fuzzer: FINDING: %s: channel '%s', method '%s', bytes %s\n",
                 finding.kind.c_str(), finding.channel.c_str(), finding.method.c_str(),
                 hex(finding.bytes).c_str());
    findings_.push_back(std::move(finding));
  }

  int report(double seconds) {
    size_t fewest = SIZE_MAX, most = 0;
    for (const auto& [channel, count] : sent_) {
      fewest = std::min(fewest, count);
      most = std::max(most, count);
      if (options_.verbose) std::printf("  %s: %zu\n", channel.c_str(), count);
    }
    std::printf(
        "channel_fuzzer: seed %llu, %zu channels, %zu messages in %.1f s; per channel %zu to %zu\n",
        static_cast<unsigned long long>(options_.seed), sent_.size(), total_, seconds,
        sent_.empty() ? 0 : fewest, most);
    std::vector<std::pair<double, std::string>> slowest;
    for (const auto& [channel, spent] : seconds_) slowest.emplace_back(spent, channel);
    std::sort(slowest.rbegin(), slowest.rend());
    for (size_t i = 0; i < slowest.size() && i < 5; ++i) {
      std::printf("  slowest: %s %.1f s\n", slowest[i].second.c_str(), slowest[i].first);
    }
    for (const auto& fault : other_faults_) std::printf("  channel fault (not fatal): %s\n", fault.c_str());
    for (const auto& finding : findings_) {
      std::printf("FINDING: %s: channel '%s', method '%s', bytes %s\n", finding.kind.c_str(),
                  finding.channel.c_str(), finding.method.c_str(), hex(finding.bytes).c_str());
    }
    std::printf("%zu passed, %zu failed\n", total_ - std::min(total_, findings_.size()),
                findings_.size());
    std::fflush(stdout);
    return findings_.empty() ? 0 : 1;
  }

  Options options_;
  std::shared_ptr<FlutterEngine> engine_;
  std::mt19937_64 random_;
  std::map<std::string, size_t> sent_;
  std::map<std::string, double> seconds_;
  size_t total_ = 0;
  std::vector<Finding> findings_;
  std::vector<std::string> other_faults_;
};

// Points every directory the host may write to at `root`.
void keepHermetic(const fs::path& root) {
  for (const char* sub : {"home", "config", "data", "cache", "runtime", "tmp", "work"}) {
    fs::create_directories(root / sub);
  }
  ::setenv("HOME", (root / "home").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
  ::setenv("TMPDIR", (root / "tmp").c_str(), 1);
  ::unsetenv("DART_SIDE_SOCKET");
  foundation::testing::setUserDirectoriesRoot((root / "home").string());
  fs::current_path(root / "work");
}

}  // namespace
}  // namespace channel_fuzzer

int main(int argc, char** argv) {
  using namespace channel_fuzzer;
  Options options;
  if (!parseOptions(argc, argv, options)) return 2;
  fuzzing::onFatalError(reportInFlight);
  const fs::path original_directory = fs::current_path();
  std::string pattern = (fs::temp_directory_path() / "channel-fuzzer-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 2;
  }
  const fs::path root = pattern;
  keepHermetic(root);
  std::printf("channel_fuzzer: seed %llu (rerun with --seed %llu)\n",
              static_cast<unsigned long long>(options.seed),
              static_cast<unsigned long long>(options.seed));
  std::fflush(stdout);

  int status = 0;
  {
    auto controller = std::make_shared<FlutterViewController>();
    registerPlugins(*controller);
    auto dart_side = std::make_shared<SilentDartSide>();
    controller->engine()->attachDartSide(dart_side);
    flutter::takeFaults();
    status = Fuzzer(options, controller->engine()).run();
    // What still waits on the user is closed as the user would close it, so nothing it holds
    // outlives the run.
    for (const auto& picker : appkit::testing::openSharingPickers()) {
      appkit::testing::dismissSharingPicker(*picker);
    }
    dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
    controller->engine()->shutDown();
    dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
  }
  fs::current_path(original_directory);
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return status;
}
