// One run of the channel fuzzer: round after round, every channel that has a handler (channels
// made at run time join as they appear) gets a batch of steps until each has had its share of
// messages or the time is up. A step is an object's life, a call shaped as the plug-in's page
// says, a hostile message, or now and then on a web-view channel a session with live web views.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/flutter/flutter_engine.h"
#include "tools/channel_fuzzer/dart_side.h"
#include "tools/channel_fuzzer/message_generator.h"
#include "tools/channel_fuzzer/message_sender.h"
#include "tools/channel_fuzzer/pending_answers.h"
#include "tools/channel_fuzzer/run_report.h"
#include "tools/channel_fuzzer/shaped_caller.h"
#include "tools/channel_fuzzer/web_view_session.h"

namespace channel_fuzzer {

struct RunOptions {
  uint64_t seed = 1;
  size_t messages_per_channel = 1000;
  double seconds = 0;  // no limit
  std::chrono::milliseconds answer_bound{5000};
  std::string channel_filter;  // only channels whose name holds it
  bool verbose = false;
};

class Fuzzer final : public WebViewSessionHost, public ShapedCaller {
 public:
  Fuzzer(const RunOptions& options, std::shared_ptr<FlutterEngine> engine,
         std::shared_ptr<FuzzerDartSide> dartSide, SeedFiles seeds);

  // Answers the process's exit status: 0 when nothing was found.
  int run();

  // WebViewSessionHost.
  bool call(const std::string& operation, LiveValues& objects) override;
  void release(int64_t identifier) override;
  std::shared_ptr<WKWebView> webView(int64_t identifier) override;
  int64_t registerObject(const std::shared_ptr<NSObject>& object) override;
  void pump(std::chrono::milliseconds time) override;
  std::mt19937_64& random() override { return random_; }

  // ShapedCaller.
  bool sendShaped(const ShapedCall& call) override;
  std::vector<std::string> channelsWithHandlers() const override;
  LiveValues& live(const std::string& plugin) override { return dart_->live(plugin); }
  std::optional<int64_t> handOver(const std::string& plugin, const std::string& api) override;

 private:
  // A session of the web view now and then, from a step on one of its channels.
  static constexpr double kSessionShare = 0.1;
  // Calls to the Dart side held unanswered after a session.
  static constexpr size_t kHeldAfterSession = 8;

  void step(const std::string& channel);
  // Ends the run: what is still held or running is let go of, and every answer still due is
  // waited for.
  void finish();
  WebViewSessions& sessions();

  RunOptions options_;
  std::shared_ptr<FlutterEngine> engine_;
  std::shared_ptr<FuzzerDartSide> dart_;
  std::mt19937_64 random_;
  SeedFiles seeds_;
  RunReport report_;
  PendingAnswers pending_;
  MessageSender sender_;
  std::unique_ptr<WebViewSessions> sessions_;
  // The argument count of the last call that succeeded on a message channel.
  std::map<std::string, size_t> arity_;
};

}  // namespace channel_fuzzer
