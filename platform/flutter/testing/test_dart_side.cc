#include "platform/flutter/testing/test_dart_side.h"

#include <gtest/gtest.h>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/flutter/flutter_faults.h"
#include "platform/flutter/testing/allocation_meter.h"

namespace flutter::testing {

std::string MethodReply::describe() const {
  switch (kind) {
    case Kind::success:
      return "success " + value.debugString();
    case Kind::error:
      return "error " + error.code + " (" + error.message.value_or("null") + ") " +
             error.details.debugString();
    case Kind::notImplemented:
      return "not implemented";
    case Kind::pending:
      return "no answer yet";
  }
  return "";
}

namespace {

MethodReply decodeReply(const FlutterBinaryMessage& reply, const FlutterMethodCodec& codec) {
  MethodReply result;
  if (!reply || reply->empty()) {
    result.kind = MethodReply::Kind::notImplemented;
    return result;
  }
  auto envelope = codec.decodeEnvelope(*reply);
  if (auto* error = std::get_if<FlutterError>(&envelope)) {
    result.kind = MethodReply::Kind::error;
    result.error = std::move(*error);
  } else {
    result.kind = MethodReply::Kind::success;
    result.value = std::move(std::get<Value>(envelope));
  }
  return result;
}

std::shared_ptr<const FlutterMethodCodec> orStandard(std::shared_ptr<const FlutterMethodCodec> c) {
  return c ? std::move(c) : FlutterStandardMethodCodec::sharedInstance();
}

}  // namespace

// The Dart side's end as the engine sees it.
class TestDartSide::Connection final : public FlutterDartSide {
 public:
  struct Stream {
    std::shared_ptr<const FlutterMethodCodec> codec;
    std::vector<ReceivedEvent> events;
  };

  void messageFromHost(const std::string& channel, FlutterBinaryMessage message,
                       FlutterBinaryReply reply) override {
    // Another process's work, where the application's Dart side runs.
    NotMetered dart_side_work;
    messages[channel].push_back(message);
    if (auto stream = streams.find(channel); stream != streams.end()) {
      receiveEvent(stream->second, message);
      if (reply) reply(std::nullopt);
      return;
    }
    if (auto handler = method_handlers.find(channel); handler != method_handlers.end()) {
      answerCall(handler->second, channel, message, reply);
      return;
    }
    if (auto handler = message_handlers.find(channel); handler != message_handlers.end()) {
      const auto& [codec, answer] = handler->second;
      auto decoded = codec->decode(message ? std::span<const uint8_t>(*message)
                                           : std::span<const uint8_t>());
      auto answered = answer(decoded);
      if (reply) {
        if (answered) {
          reply(codec->encode(*answered));
        } else {
          reply(std::nullopt);
        }
      }
      return;
    }
    recordCall(channel, FlutterStandardMethodCodec::sharedInstance(), message);
    if (reply) reply(std::nullopt);
  }

  void receiveEvent(Stream& stream, const FlutterBinaryMessage& message) {
    if (!message) {
      stream.events.push_back({FlutterEndOfEventStream});
      return;
    }
    auto envelope = stream.codec->decodeEnvelope(*message);
    if (auto* error = std::get_if<FlutterError>(&envelope)) {
      stream.events.push_back({std::move(*error)});
    } else {
      stream.events.push_back({std::move(std::get<Value>(envelope))});
    }
  }

  struct MethodHandler {
    std::shared_ptr<const FlutterMethodCodec> codec;
    std::function<DartAnswer(const FlutterMethodCall&)> answer;
  };

  void recordCall(const std::string& channel, const std::shared_ptr<const FlutterMethodCodec>& codec,
                  const FlutterBinaryMessage& message) {
    try {
      if (message) calls[channel].push_back(codec->decodeMethodCall(*message));
    } catch (const FlutterCodecError&) {
      // Not a method call: it stays among the raw messages.
    }
  }

  void answerCall(const MethodHandler& handler, const std::string& channel,
                  const FlutterBinaryMessage& message, const FlutterBinaryReply& reply) {
    recordCall(channel, handler.codec, message);
    if (!message) {
      if (reply) reply(std::nullopt);
      return;
    }
    DartAnswer answer = handler.answer(handler.codec->decodeMethodCall(*message));
    if (!reply) return;
    if (auto* value = std::get_if<Value>(&answer)) {
      reply(handler.codec->encodeSuccessEnvelope(*value));
    } else if (auto* error = std::get_if<FlutterError>(&answer)) {
      reply(handler.codec->encodeErrorEnvelope(*error));
    } else {
      reply(std::nullopt);
    }
  }

  std::map<std::string, Stream> streams;
  std::map<std::string, MethodHandler> method_handlers;
  std::map<std::string, std::pair<std::shared_ptr<const FlutterMessageCodec>,
                                  std::function<std::optional<Value>(const Value&)>>>
      message_handlers;
  std::map<std::string, std::vector<FlutterMethodCall>> calls;
  std::map<std::string, std::vector<FlutterBinaryMessage>> messages;
};

TestDartSide::TestDartSide(std::shared_ptr<FlutterEngine> engine)
    : engine_(std::move(engine)), connection_(std::make_shared<Connection>()) {
  flutter::takeFaults();
  engine_->attachDartSide(connection_);
}

TestDartSide::~TestDartSide() {
  dispatch::testing::drainUntilIdle(milliseconds(2000));
  engine_->detachDartSide(connection_.get());
  registrars_.clear();
  auto faults = takeFaults();
  for (const auto& fault : faults) {
    bool expected = false;
    for (const auto& pattern : expected_faults_) {
      if (fault.find(pattern) != std::string::npos) expected = true;
    }
    if (!expected) ADD_FAILURE() << "Channel fault: " << fault;
  }
}

FlutterPluginRegistrar& TestDartSide::registrar(const std::string& pluginKey) {
  auto& registrar = registrars_[pluginKey];
  if (!registrar) registrar = engine_->registrarForPlugin(pluginKey);
  return *registrar;
}

bool TestDartSide::PendingBinary::ready() const { return state_->ready; }

FlutterBinaryMessage TestDartSide::PendingBinary::wait(milliseconds timeout) const {
  dispatch::testing::runUntil([&] { return state_->ready; }, timeout);
  return state_->reply;
}

TestDartSide::PendingBinary TestDartSide::sendBinary(const std::string& channel,
                                                     FlutterBinaryMessage message) {
  PendingBinary pending;
  engine_->deliverFromDartSide(channel, std::move(message),
                               [state = pending.state_](FlutterBinaryMessage reply) {
                                 state->reply = std::move(reply);
                                 state->ready = true;
                               });
  return pending;
}

MethodReply TestDartSide::PendingCall::wait(milliseconds timeout) const {
  auto reply = binary_.wait(timeout);
  if (!binary_.ready()) return MethodReply{};
  return decodeReply(reply, *codec_);
}

TestDartSide::PendingCall TestDartSide::invokeMethodAsync(
    const std::string& channel, const std::string& method, Value arguments,
    std::shared_ptr<const FlutterMethodCodec> codec) {
  PendingCall call;
  call.codec_ = orStandard(std::move(codec));
  call.binary_ = sendBinary(channel, call.codec_->encodeMethodCall({method, std::move(arguments)}));
  return call;
}

MethodReply TestDartSide::invokeMethod(const std::string& channel, const std::string& method,
                                       Value arguments,
                                       std::shared_ptr<const FlutterMethodCodec> codec,
                                       milliseconds timeout) {
  return invokeMethodAsync(channel, method, std::move(arguments), std::move(codec)).wait(timeout);
}

std::optional<Value> TestDartSide::sendMessage(const std::string& channel, const Value& message,
                                               std::shared_ptr<const FlutterMessageCodec> codec,
                                               milliseconds timeout) {
  if (!codec) codec = FlutterStandardMessageCodec::sharedInstance();
  auto reply = sendBinary(channel, codec->encode(message)).wait(timeout);
  if (!reply) return std::nullopt;
  return codec->decode(*reply);
}

MethodReply TestDartSide::listen(const std::string& channel, Value arguments,
                                 std::shared_ptr<const FlutterMethodCodec> codec) {
  codec = orStandard(std::move(codec));
  auto& stream = connection_->streams[channel];
  stream.codec = codec;
  return invokeMethod(channel, "listen", std::move(arguments), codec);
}

MethodReply TestDartSide::cancel(const std::string& channel, Value arguments) {
  auto stream = connection_->streams.find(channel);
  auto codec = stream != connection_->streams.end() ? stream->second.codec : nullptr;
  return invokeMethod(channel, "cancel", std::move(arguments), codec);
}

const std::vector<ReceivedEvent>& TestDartSide::events(const std::string& channel) const {
  static const std::vector<ReceivedEvent> kNone;
  auto stream = connection_->streams.find(channel);
  return stream == connection_->streams.end() ? kNone : stream->second.events;
}

bool TestDartSide::waitForEvents(const std::string& channel, size_t count, milliseconds timeout) {
  return runUntil([&] { return events(channel).size() >= count; }, timeout);
}

void TestDartSide::setMethodCallHandler(const std::string& channel,
                                        std::function<DartAnswer(const FlutterMethodCall&)> handler,
                                        std::shared_ptr<const FlutterMethodCodec> codec) {
  connection_->method_handlers[channel] = {orStandard(std::move(codec)), std::move(handler)};
}

void TestDartSide::setMessageHandler(const std::string& channel,
                                     std::function<std::optional<Value>(const Value&)> handler,
                                     std::shared_ptr<const FlutterMessageCodec> codec) {
  if (!codec) codec = FlutterStandardMessageCodec::sharedInstance();
  connection_->message_handlers[channel] = {std::move(codec), std::move(handler)};
}

std::vector<FlutterMethodCall> TestDartSide::callsFromHost(const std::string& channel) const {
  auto found = connection_->calls.find(channel);
  return found == connection_->calls.end() ? std::vector<FlutterMethodCall>{} : found->second;
}

std::vector<FlutterBinaryMessage> TestDartSide::messagesFromHost(const std::string& channel) const {
  auto found = connection_->messages.find(channel);
  return found == connection_->messages.end() ? std::vector<FlutterBinaryMessage>{}
                                              : found->second;
}

bool TestDartSide::waitForCallsFromHost(const std::string& channel, size_t count,
                                        milliseconds timeout) {
  return runUntil([&] { return callsFromHost(channel).size() >= count; }, timeout);
}

bool TestDartSide::runUntil(const std::function<bool()>& done, milliseconds timeout) {
  return dispatch::testing::runUntil(done, timeout);
}

void TestDartSide::drain() { dispatch::testing::drainUntilIdle(); }

void TestDartSide::expectFault(const std::string& substring) {
  expected_faults_.push_back(substring);
}

std::vector<std::string> TestDartSide::takeFaults() {
  auto fresh = flutter::takeFaults();
  faults_.insert(faults_.end(), fresh.begin(), fresh.end());
  return faults_;
}

}  // namespace flutter::testing
