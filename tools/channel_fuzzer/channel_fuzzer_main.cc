// The channel fuzzer: registers every plug-in as the host does, then sends every channel that has
// a handler thousands of generated messages, shaped by that plug-in's own words. It fails on a
// crash or sanitizer report (the process dies, with the message that did it on standard error),
// on a message answered twice, and on a message not answered within the bound (a script's
// evaluation, which may wait behind others and run for its whole budget, is not waited for: its
// answer is checked later, against the page's budgets and the bound). README.md tells more.
//
//   channel_fuzzer [--seed N|random] [--messages-per-channel N] [--seconds S]
//                  [--answer-bound-ms MS] [--channel PART] [--verbose]
//   channel_fuzzer --check-shapes
//
// --channel limits the run to channels whose name holds PART, to reproduce a finding.
// --check-shapes sends nothing: it checks that a plug-in whose page names its message channels'
// operations by API names every operation it registers, and nothing else.
//
// Everything it touches lives in a temporary directory: the user's directories, the working
// directory and the temporary directory all point there.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/generated_plugin_registrant.h"
#include "platform/appkit/testing/sharing_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/flutter/flutter_faults.h"
#include "platform/flutter/flutter_view_controller.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/webkit/testing/web_view_controls.h"
#include "tools/channel_fuzzer/dart_side.h"
#include "tools/channel_fuzzer/fuzzer.h"
#include "tools/channel_fuzzer/in_flight.h"
#include "tools/channel_fuzzer/shape_check.h"
#include "tools/channel_fuzzer/web_content_samples.h"
#include "tools/fuzzing/crash_report.h"
#include "tools/fuzzing/fuzzer_options.h"
#include "tools/fuzzing/seed_files.h"

namespace channel_fuzzer {
namespace {

namespace fs = std::filesystem;

// The seed files under `root`, for calls that name a file or carry a document's bytes.
SeedFiles writeSeedFiles(const fs::path& root) {
  SeedFiles seeds;
  fs::create_directories(root);
  auto write = [&](const std::vector<fuzzing::SeedFile>& files) {
    for (const auto& file : files) {
      fs::path path = root / file.name;
      std::ofstream(path, std::ios::binary) << file.bytes;
      seeds.paths.push_back(path.string());
    }
  };
  auto pdfs = fuzzing::pdfSeeds();
  if (!pdfs.empty()) seeds.pdf.assign(pdfs.front().bytes.begin(), pdfs.front().bytes.end());
  write(pdfs);
  write(fuzzing::mediaSeeds());
  write(fuzzing::propertyListSeeds());
  return seeds;
}

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

int checkShapes() {
  auto controller = std::make_shared<FlutterViewController>();
  registerPlugins(*controller);
  const bool match = shapesMatchChannels(controller->engine()->messenger().channelsWithHandlers());
  controller->engine()->shutDown();
  dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
  return match ? 0 : 1;
}

// The run, in the host's engine with every plug-in registered, on the fuzzer's Dart side.
int fuzz(const RunOptions& options, const fs::path& root) {
  auto controller = std::make_shared<FlutterViewController>();
  registerPlugins(*controller);
  auto dart_side = std::make_shared<FuzzerDartSide>(options.seed + 1);
  controller->engine()->attachDartSide(dart_side);
  serveSampleResponses();
  flutter::takeFaults();
  const int status =
      Fuzzer(options, controller->engine(), dart_side, writeSeedFiles(root / "seeds")).run();
  // What still waits on the user is closed as the user would close it, so nothing it holds
  // outlives the run.
  for (const auto& picker : appkit::testing::openSharingPickers()) {
    appkit::testing::dismissSharingPicker(*picker);
  }
  dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
  controller->engine()->shutDown();
  dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
  webkit::testing::removeAllServedResponses();
  return status;
}

}  // namespace
}  // namespace channel_fuzzer

int main(int argc, char** argv) {
  using namespace channel_fuzzer;
  namespace fs = std::filesystem;
  RunOptions options;
  bool check_shapes = false;
  fuzzing::FuzzerOptions parser;
  parser.seed("--seed", options.seed);
  parser.count("--messages-per-channel", options.messages_per_channel);
  parser.seconds("--seconds", options.seconds);
  parser.milliseconds("--answer-bound-ms", options.answer_bound);
  parser.text("--channel", options.channel_filter);
  parser.flag("--verbose", options.verbose);
  parser.flag("--check-shapes", check_shapes);
  if (!parser.parse(argc, argv)) return 2;
  if (check_shapes) return checkShapes();

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
  const int status = fuzz(options, root);
  fs::current_path(original_directory);
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return status;
}
