// Method, event and message channels, driven from the in-process Dart side.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"

namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::DartAnswer;
using flutter::testing::NoReply;
using flutter::testing::TestDartSide;

class ChannelsTest : public ::testing::Test {
 protected:
  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  TestDartSide dart{engine};
  std::shared_ptr<FlutterBinaryMessenger> messenger = engine->binaryMessenger();
};

TEST_F(ChannelsTest, MethodCallsAnswerValuesErrorsAndNotImplemented) {
  FlutterMethodChannel channel("calc", messenger);
  channel.setMethodCallHandler([](const FlutterMethodCall& call, FlutterResult result) {
    if (call.method == "double") {
      result(Value(int32_t(call.arguments.intValue() * 2)));
    } else if (call.method == "fail") {
      result(FlutterError{"bad", "it failed", Value(int32_t{7})});
    } else {
      result(FlutterMethodNotImplemented);
    }
  });

  auto doubled = dart.invokeMethod("calc", "double", Value(int32_t{21}));
  ASSERT_TRUE(doubled.isSuccess()) << doubled.describe();
  EXPECT_EQ(doubled.value, Value(int32_t{42}));

  auto failed = dart.invokeMethod("calc", "fail");
  ASSERT_TRUE(failed.isError());
  EXPECT_EQ(failed.error, (FlutterError{"bad", "it failed", Value(int32_t{7})}));

  EXPECT_TRUE(dart.invokeMethod("calc", "other").isNotImplemented());
  // A channel without a handler gets an empty reply.
  EXPECT_TRUE(dart.invokeMethod("nobody", "x").isNotImplemented());
}

TEST_F(ChannelsTest, UndecodableCallIsAnsweredWithAnErrorAndNeverReachesTheHandler) {
  bool reached = false;
  FlutterMethodChannel channel("calc", messenger);
  channel.setMethodCallHandler([&](const FlutterMethodCall&, FlutterResult result) {
    reached = true;
    result(nullptr);
  });
  auto reply = dart.sendBinary("calc", FlutterBytes{7, 9, 'x'}).wait();
  ASSERT_TRUE(reply.has_value());
  auto envelope = FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(*reply);
  EXPECT_EQ(std::get<FlutterError>(envelope).code, kFlutterMalformedMessageCode);
  EXPECT_FALSE(reached);
}

TEST_F(ChannelsTest, HandlerMayRemoveItsOwnChannelWhileItRuns) {
  auto channel = std::make_shared<FlutterMethodChannel>("once", messenger);
  std::weak_ptr<FlutterMethodChannel> weak = channel;
  channel->setMethodCallHandler([weak, &channel](const FlutterMethodCall&, FlutterResult result) {
    if (auto self = weak.lock()) self->setMethodCallHandler(nullptr);
    channel.reset();  // drops the last owner of the channel during the call
    result(Value("done"));
  });
  EXPECT_EQ(dart.invokeMethod("once", "go").value, Value("done"));
  EXPECT_TRUE(dart.invokeMethod("once", "go").isNotImplemented());
}

TEST_F(ChannelsTest, RepliesFromAnotherThreadArriveOnTheMainThread) {
  FlutterMethodChannel channel("async", messenger);
  std::thread worker;
  channel.setMethodCallHandler([&](const FlutterMethodCall&, FlutterResult result) {
    worker = std::thread([result] { result(Value("from worker")); });
  });
  auto reply = dart.invokeMethod("async", "go");
  worker.join();
  EXPECT_EQ(reply.value, Value("from worker"));
}

TEST_F(ChannelsTest, SecondReplyIsAFaultAndADroppedResultAnswersTheCall) {
  FlutterMethodChannel channel("faulty", messenger);
  FlutterResult kept;
  channel.setMethodCallHandler([&kept](const FlutterMethodCall& call, FlutterResult result) {
    if (call.method == "twice") {
      result(Value(int32_t{1}));
      result(Value(int32_t{2}));
    } else if (call.method == "throw") {
      throw std::runtime_error("handler failed");
    } else if (call.method == "later") {
      kept = result;  // a copy outlives the handler; the answer waits for it
    }
    // "drop" never answers.
  });
  EXPECT_EQ(dart.invokeMethod("faulty", "twice").value, Value(int32_t{1}));
  dart.expectFault("answered twice");

  for (const char* method : {"drop", "throw"}) {
    auto dropped = dart.invokeMethod("faulty", method);
    ASSERT_TRUE(dropped.isError()) << method << ": " << dropped.describe();
    EXPECT_EQ(dropped.error.code, kFlutterUnansweredCallCode) << method;
  }
  // The log line stays: the call was a fault of the handler.
  auto faults = dart.takeFaults();
  EXPECT_TRUE(std::any_of(faults.begin(), faults.end(), [](const std::string& fault) {
    return fault.find("'drop' on channel 'faulty' was dropped without an answer") !=
           std::string::npos;
  }));
  dart.expectFault("faulty");

  auto later = dart.invokeMethodAsync("faulty", "later");
  dart.drain();
  EXPECT_FALSE(later.ready());
  kept(Value("late"));
  EXPECT_EQ(later.wait().value, Value("late"));
  kept = FlutterResult();
  dart.drain();
}

TEST_F(ChannelsTest, ADroppedMessageReplyAnswersWithNoReply) {
  FlutterBasicMessageChannel channel("api.silent", messenger);
  channel.setMessageHandler([](const Value&, FlutterReply) {});
  auto reply = dart.sendBinary("api.silent", FlutterBytes{0});
  ASSERT_TRUE(dart.runUntil([&] { return reply.ready(); }));
  EXPECT_FALSE(reply.wait().has_value());
  dart.expectFault("dropped without an answer");
}

class CountingStream : public FlutterStreamHandler {
 public:
  std::optional<FlutterError> onListenWithArguments(const Value& arguments,
                                                    FlutterEventSink events) override {
    if (arguments == Value("refuse")) return FlutterError{"refused", "no", nullptr};
    ++listens;
    sink = std::move(events);
    return std::nullopt;
  }
  std::optional<FlutterError> onCancelWithArguments(const Value&) override {
    ++cancels;
    sink = nullptr;
    return std::nullopt;
  }
  FlutterEventSink sink;
  int listens = 0;
  int cancels = 0;
};

TEST_F(ChannelsTest, TextThatIsNotUtf8NeverReachesTheDartSide) {
  const std::string bad = "caf\xe9";
  FlutterMethodChannel channel("text", messenger);
  channel.setMethodCallHandler([&](const FlutterMethodCall& call, FlutterResult result) {
    if (call.method == "value") result(Value(ValueMap{{"name", Value(bad)}}));
    if (call.method == "error") result(FlutterError{"failed", bad, Value(bad)});
  });
  for (const char* method : {"value", "error"}) {
    auto reply = dart.invokeMethod("text", method);
    ASSERT_TRUE(reply.isError()) << method << ": " << reply.describe();
    EXPECT_EQ(reply.error.code, "encoding_error") << method;
  }
  FlutterBasicMessageChannel api("api.text", messenger);
  api.setMessageHandler([&](const Value&, FlutterReply reply) { reply(Value(ValueList{Value(bad)})); });
  auto answer = dart.sendMessage("api.text", Value(ValueList{}));
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ((*answer->asList())[0], Value("encoding_error"));

  // An event holding such text is dropped; the stream goes on.
  auto handler = std::make_shared<CountingStream>();
  FlutterEventChannel events("text.events", messenger);
  events.setStreamHandler(handler);
  ASSERT_TRUE(dart.listen("text.events").isSuccess());
  handler->sink(Value(bad));
  handler->sink(FlutterError{"e", bad, nullptr});
  handler->sink(Value("after"));
  ASSERT_TRUE(dart.waitForEvents("text.events", 1));
  dart.drain();
  ASSERT_EQ(dart.events("text.events").size(), 1u);
  EXPECT_EQ(dart.events("text.events")[0].value(), Value("after"));

  // Calls and messages to the Dart side refuse it without throwing at their caller.
  std::optional<FlutterMethodResponse> response;
  EXPECT_NO_THROW(channel.invokeMethod("tell", Value(bad), [&](FlutterMethodResponse r) {
    response = std::move(r);
  }));
  EXPECT_NO_THROW(channel.invokeMethod("tell", Value(bad)));
  ASSERT_TRUE(dart.runUntil([&] { return response.has_value(); }));
  EXPECT_EQ(std::get<FlutterError>(*response).code, "encoding_error");
  bool replied = false;
  EXPECT_NO_THROW(api.sendMessage(Value(bad), [&](const std::optional<Value>& reply) {
    replied = true;
    EXPECT_FALSE(reply.has_value());
  }));
  EXPECT_NO_THROW(api.sendMessage(Value(bad)));
  ASSERT_TRUE(dart.runUntil([&] { return replied; }));
  EXPECT_TRUE(dart.callsFromHost("text").empty());
  dart.expectFault("not valid UTF-8");
}

TEST_F(ChannelsTest, EventChannelListensSendsAndCancels) {
  auto handler = std::make_shared<CountingStream>();
  FlutterEventChannel channel("ticks", messenger);
  channel.setStreamHandler(handler);

  EXPECT_TRUE(dart.listen("ticks", Value("refuse")).isError());
  ASSERT_TRUE(dart.listen("ticks").isSuccess());
  handler->sink(Value(int32_t{1}));
  handler->sink(FlutterError{"oops", "bad tick", nullptr});
  handler->sink(FlutterEndOfEventStream);
  ASSERT_TRUE(dart.waitForEvents("ticks", 3));
  const auto& events = dart.events("ticks");
  EXPECT_EQ(events[0].value(), Value(int32_t{1}));
  EXPECT_EQ(events[1].error().code, "oops");
  EXPECT_TRUE(events[2].isEnd());

  // Listening again cancels the first stream before starting the new one.
  ASSERT_TRUE(dart.listen("ticks").isSuccess());
  EXPECT_EQ(handler->listens, 2);
  EXPECT_EQ(handler->cancels, 1);
  EXPECT_TRUE(dart.cancel("ticks").isSuccess());
  EXPECT_TRUE(dart.cancel("ticks").isError());
  EXPECT_EQ(handler->cancels, 2);
}

TEST_F(ChannelsTest, HostCallsToTheDartSideAreAnsweredOrNot) {
  FlutterMethodChannel channel("to_dart", messenger);
  dart.setMethodCallHandler("to_dart", [](const FlutterMethodCall& call) -> DartAnswer {
    if (call.method == "value") return Value("hello");
    if (call.method == "error") return FlutterError{"dart", std::nullopt, nullptr};
    return NoReply{};
  });
  std::vector<FlutterMethodResponse> responses;
  for (const char* method : {"value", "error", "silent"}) {
    channel.invokeMethod(method, Value(), [&](FlutterMethodResponse response) {
      responses.push_back(std::move(response));
    });
  }
  ASSERT_TRUE(dart.runUntil([&] { return responses.size() == 3; }));
  EXPECT_EQ(std::get<Value>(responses[0]), Value("hello"));
  EXPECT_EQ(std::get<FlutterError>(responses[1]).code, "dart");
  EXPECT_TRUE(std::holds_alternative<FlutterMethodNotImplementedType>(responses[2]));
  EXPECT_EQ(dart.callsFromHost("to_dart").size(), 3u);
}

TEST_F(ChannelsTest, MessageChannelsCarryTheApiEnvelope) {
  FlutterBasicMessageChannel channel("api.echo", messenger);
  channel.setMessageHandler([](const Value& message, FlutterReply reply) {
    const auto* arguments = message.asList();
    if (arguments == nullptr || arguments->empty()) {
      reply(Value(flutter::wrapError({"bad-args", "expected a list", nullptr})));
      return;
    }
    reply(Value(flutter::wrapResult((*arguments)[0])));
  });
  EXPECT_EQ(dart.sendMessage("api.echo", Value(ValueList{Value("hi")})),
            Value(ValueList{Value("hi")}));
  EXPECT_EQ(dart.sendMessage("api.echo", Value(int32_t{1})),
            Value(ValueList{Value("bad-args"), Value("expected a list"), Value()}));
  // Undecodable bytes get an error list without reaching the handler.
  auto raw = dart.sendBinary("api.echo", FlutterBytes{99}).wait();
  auto decoded = FlutterStandardMessageCodec::sharedInstance()->decode(*raw);
  EXPECT_EQ((*decoded.asList())[0], Value(kFlutterMalformedMessageCode));
}

TEST_F(ChannelsTest, UnansweredHostMessageBecomesAConnectionError) {
  FlutterBasicMessageChannel channel("api.callback", messenger);
  std::optional<std::variant<Value, FlutterError>> outcome;
  channel.sendMessage(Value(ValueList{}), [&](const std::optional<Value>& reply) {
    outcome = flutter::unwrapReply(reply, "api.callback");
  });
  ASSERT_TRUE(dart.runUntil([&] { return outcome.has_value(); }));
  auto error = std::get<FlutterError>(*outcome);
  EXPECT_EQ(error.code, "channel-error");
  EXPECT_EQ(error.message, "Unable to establish connection on channel: 'api.callback'.");
}

TEST(EnvelopeTest, ExceptionsGiveDescriptionTypeAndStack) {
  ValueList wrapped = flutter::wrapException(std::out_of_range("index 4"));
  ASSERT_EQ(wrapped.size(), 3u);
  EXPECT_EQ(wrapped[0], Value("index 4"));
  EXPECT_EQ(wrapped[1], Value("std::out_of_range"));
  EXPECT_EQ(wrapped[2].get<std::string>().rfind("Stacktrace: ", 0), 0u);
}

}  // namespace
