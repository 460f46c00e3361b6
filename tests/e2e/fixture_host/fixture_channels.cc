#include "tests/e2e/fixture_host/fixture_channels.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/dispatch/dispatch.h"

namespace e2e_fixture {
namespace {

using flutter::Value;
using flutter::ValueMap;

Value describe(const FlutterMethodResponse& response) {
  if (const auto* value = std::get_if<Value>(&response)) {
    return ValueMap{{"outcome", "success"}, {"value", *value}};
  }
  if (const auto* error = std::get_if<FlutterError>(&response)) {
    return ValueMap{{"outcome", "error"},
                    {"code", error->code},
                    {"message", error->message ? Value(*error->message) : Value()},
                    {"details", error->details}};
  }
  return ValueMap{{"outcome", "notImplemented"}};
}

class CountingStream : public FlutterStreamHandler {
 public:
  std::optional<FlutterError> onListenWithArguments(const Value& arguments,
                                                    FlutterEventSink events) override {
    const Value* count = arguments.find("count");
    if (count == nullptr || !count->isInteger() || *count->asInteger() < 0 ||
        *count->asInteger() > 1000) {
      return FlutterError{"bad_arguments", "listen needs {\"count\": 0..1000}", nullptr};
    }
    // Sent after the listen call is answered, as a real source's events would be.
    dispatch_async(dispatch_get_main_queue(), [events, n = *count->asInteger()] {
      for (int64_t i = 0; i < n; ++i) events(Value(i));
      events(FlutterError{"fixture_event_error", "the last event is an error", nullptr});
      events(FlutterEndOfEventStream);
    });
    return std::nullopt;
  }
  std::optional<FlutterError> onCancelWithArguments(const Value&) override { return std::nullopt; }
};

}  // namespace

struct FixtureChannels::State {
  std::shared_ptr<FlutterMethodChannel> methods;
  std::shared_ptr<FlutterMethodChannel> to_dart;
  std::shared_ptr<FlutterEventChannel> events;
  std::shared_ptr<FlutterBasicMessageChannel> messages;
  Value last_outcome;
};

FixtureChannels::FixtureChannels(std::shared_ptr<FlutterBinaryMessenger> messenger)
    : state_(std::make_shared<State>()) {
  state_->methods = FlutterMethodChannel::methodChannelWithName("e2e.fixture/methods", messenger);
  state_->to_dart = FlutterMethodChannel::methodChannelWithName("e2e.fixture/dart", messenger);
  state_->events = FlutterEventChannel::eventChannelWithName("e2e.fixture/events", messenger);
  state_->messages =
      FlutterBasicMessageChannel::messageChannelWithName("e2e.fixture/messages", messenger);

  std::weak_ptr<State> weak = state_;
  state_->methods->setMethodCallHandler([weak](const FlutterMethodCall& call, FlutterResult result) {
    auto state = weak.lock();
    if (!state) return result(FlutterMethodNotImplemented);
    if (call.method == "echo") return result(call.arguments);
    if (call.method == "fail") {
      return result(FlutterError{"fixture_error", "failed as asked", call.arguments});
    }
    if (call.method == "lastOutcome") return result(state->last_outcome);
    // Holds the main thread for the milliseconds given, as a handler that runs long would. The
    // answer is given as the hold begins: once it arrives the main thread is held, and nothing
    // queued after it (a termination request's close) can go ahead of the hold.
    if (call.method == "holdMainThread") {
      const auto milliseconds = std::clamp<int64_t>(call.arguments.asInteger().value_or(0), 0,
                                                    600000);
      dispatch_async(dispatch_get_main_queue(), [milliseconds, result] {
        result(nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
      });
      return;
    }
    if (call.method != "askDart") return result(FlutterMethodNotImplemented);
    const Value* method = call.arguments.find("method");
    if (method == nullptr || !method->is<std::string>()) {
      return result(FlutterError{"bad_arguments", "askDart needs a method name", nullptr});
    }
    const Value* arguments = call.arguments.find("arguments");
    state->last_outcome = nullptr;
    state->to_dart->invokeMethod(method->get<std::string>(), arguments ? *arguments : Value(),
                                 [weak, result](FlutterMethodResponse response) {
                                   Value outcome = describe(response);
                                   if (auto state = weak.lock()) state->last_outcome = outcome;
                                   result(outcome);
                                 });
  });
  state_->events->setStreamHandler(std::make_shared<CountingStream>());
  state_->messages->setMessageHandler(
      [](const Value& message, FlutterReply reply) { reply(message); });
}

}  // namespace e2e_fixture
