#include "tools/channel_fuzzer/message_sender.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <utility>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "tools/channel_fuzzer/channel_names.h"
#include "tools/channel_fuzzer/exclusions.h"
#include "tools/channel_fuzzer/hex.h"
#include "tools/channel_fuzzer/in_flight.h"
#include "tools/channel_fuzzer/shapes.h"
#include "tools/channel_fuzzer/vocabulary.h"

namespace channel_fuzzer {
namespace {

// A call that runs a page's script on an object: answered when the script ends, which may take
// the script's whole budget.
bool runsAScript(const MethodShape* shape) {
  if (shape == nullptr || shape->arguments.empty() ||
      shape->arguments.front().kind.type == ArgumentKind::Type::newObject) {
    return false;
  }
  for (const auto& argument : shape->arguments) {
    if (argument.kind.type == ArgumentKind::Type::script && !argument.kind.nullable) return true;
  }
  return false;
}

}  // namespace

std::optional<ReadAnswer> MessageSender::send(const std::string& channel, GeneratedMessage message,
                                              const std::string& plugin) {
  const bool wait = !isMessageChannel(channel) ||
                    !runsAScript(shapeOf(plugin, operationOf(channel), apiNameOf(channel)));
  if (findExcluded(kEndsTheApplication, channel, message.method) ||
      findExcluded(kOpenFindings, channel, message.method, message.bytes)) {
    return std::nullopt;
  }
  const bool waits_on_user = findExcluded(kWaitsOnTheUser, channel, message.method) != nullptr;

  auto& flight = inFlight();
  flight.channel = channel;
  flight.method = message.method;
  flight.bytes = std::move(message.bytes);
  if (verbose_) {
    std::fprintf(stderr, "%s %s %s\n", channel.c_str(), flight.method.c_str(),
                 hex(flight.bytes, 64).c_str());
  }
  report_.sending(channel, flight.method, flight.bytes);
  auto answered = std::make_shared<std::atomic<int>>(0);
  auto answer_bytes = std::make_shared<Bytes>();
  engine_.deliverFromDartSide(channel, flight.bytes,
                              [answered, answer_bytes](FlutterBinaryMessage reply) {
                                if (reply) *answer_bytes = std::move(*reply);
                                answered->fetch_add(1);
                              });
  std::optional<ReadAnswer> answer;
  if (!wait && !waits_on_user) {
    pending_.add(channel, flight.method, flight.bytes, answered, answer_bytes);
  } else if (!waits_on_user) {
    if (!dispatch::testing::runUntil([&] { return answered->load() > 0; }, answer_bound_)) {
      report_.addFinding({"not answered within " + std::to_string(answer_bound_.count()) + " ms",
                          channel, flight.method, flight.bytes},
                         /*showRecent=*/true);
    } else {
      answer = read(channel, plugin, *answer_bytes);
    }
  }
  report_.collectFaults(channel, flight.method, flight.bytes);
  return answer;
}

ReadAnswer MessageSender::read(const std::string& channel, const std::string& plugin,
                               const Bytes& bytes) {
  ReadAnswer answer =
      isMessageChannel(channel) ? readMessageAnswer(bytes) : readMethodAnswer(bytes);
  report_.answered(channel, answer);
  if (answer.outcome == Outcome::success) {
    if (isMessageChannel(channel) && apiNameOf(channel) == "PigeonInternalInstanceManager" &&
        operationOf(channel) == "clear") {
      // Every object is gone, and the host's identifiers start again.
      dart_.live(plugin).clear();
    }
    dart_.live(plugin).rememberAll(answer.values);
  }
  if (verbose_) {
    static const char* const kOutcomes[] = {"not implemented", "success", "refused", "failed",
                                            "unreadable"};
    std::fprintf(stderr, "  -> %s %s %s\n", kOutcomes[static_cast<int>(answer.outcome)],
                 answer.code.c_str(), answer.message.substr(0, 120).c_str());
  }
  return answer;
}

}  // namespace channel_fuzzer
