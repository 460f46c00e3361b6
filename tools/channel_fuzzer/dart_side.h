// The fuzzer's Dart side. For a plug-in whose page lists the host's calls to the Dart side, it
// keeps the objects the host announces (`pigeon_newInstance`, under their API) and answers each
// call as the page says a Dart side does; now and then with a value of the wrong kind, an error,
// no answer at all, or late: a few calls are held unanswered for a while, as a busy Dart side
// would. Every other message from the host is answered "no handler".
//
// It knows the objects of every plug-in (the ids in answers, those the fuzzer chose), so the
// fuzzer keeps them here. Only the main thread uses it.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <string>

#include "platform/flutter/flutter_dart_side.h"
#include "tools/channel_fuzzer/argument_kind.h"
#include "tools/channel_fuzzer/live_values.h"

namespace channel_fuzzer {

class FuzzerDartSide final : public FlutterDartSide {
 public:
  explicit FuzzerDartSide(uint64_t seed) : random_(seed) {}

  void messageFromHost(const std::string& channel, FlutterBinaryMessage message,
                       FlutterBinaryReply reply) override;

  LiveValues& live(const std::string& plugin) { return live_[plugin]; }

  // Answers the held calls, the oldest first, until at most `keep` are held.
  void answerHeld(size_t keep);

  // The host's calls heard per channel (a plug-in's message channels only).
  const std::map<std::string, size_t>& heard() const { return heard_; }
  size_t answeredLate() const { return answered_late_; }

 private:
  struct Held {
    std::string channel;
    ArgumentKind answer;  // the kind of the answer owed
    FlutterBinaryReply reply;
  };
  static constexpr size_t kMostHeld = 16;

  // The answer to a call whose answer is of `kind`.
  FlutterBinaryMessage answer(const std::string& channel, const ArgumentKind& kind);

  std::mt19937_64 random_;
  std::map<std::string, LiveValues> live_;
  std::deque<Held> held_;
  std::map<std::string, size_t> heard_;
  size_t answered_late_ = 0;
};

}  // namespace channel_fuzzer
