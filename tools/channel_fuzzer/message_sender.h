// Sends one message to the host as the Dart side does and reads its answer: counts what it sends
// and what reached the plug-in's work, keeps the ids of a successful answer as live objects, and
// reports an answer that does not come within the bound, or comes twice. A call that runs a
// page's script is not waited for (its answer is checked later, by PendingAnswers), nor is one
// that waits on a user by design; one that ends the application or runs into an open finding is
// not sent.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/flutter/flutter_engine.h"
#include "tools/channel_fuzzer/answer_reader.h"
#include "tools/channel_fuzzer/dart_side.h"
#include "tools/channel_fuzzer/message_generator.h"
#include "tools/channel_fuzzer/pending_answers.h"
#include "tools/channel_fuzzer/run_report.h"

namespace channel_fuzzer {

class MessageSender {
 public:
  MessageSender(FlutterEngine& engine, FuzzerDartSide& dartSide, RunReport& report,
                PendingAnswers& pending, std::chrono::milliseconds answerBound, bool verbose)
      : engine_(engine),
        dart_(dartSide),
        report_(report),
        pending_(pending),
        answer_bound_(answerBound),
        verbose_(verbose) {}

  // The answer; none when the call may not be sent, was not waited for or was not answered in
  // time.
  std::optional<ReadAnswer> send(const std::string& channel, GeneratedMessage message,
                                 const std::string& plugin);

 private:
  // Reads the answer to a call waited for.
  ReadAnswer read(const std::string& channel, const std::string& plugin, const Bytes& bytes);

  FlutterEngine& engine_;
  FuzzerDartSide& dart_;
  RunReport& report_;
  PendingAnswers& pending_;
  std::chrono::milliseconds answer_bound_;
  bool verbose_;
};

}  // namespace channel_fuzzer
