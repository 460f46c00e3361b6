// The in-process Dart side for tests. It talks to an engine through the same binary messages as
// the application's Dart side would: it calls methods and sends messages and waits (pumping the
// main queue) for the decoded answers; it listens to event channels and collects their events;
// it answers the host's calls with a value, an error or no reply at all.
//
// When it goes away it fails the running test on any fault the channels reported (a reply sent
// twice, a call dropped unanswered, a handler that threw), unless the test expected them.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/flutter/flutter.h"

namespace flutter::testing {

using std::chrono::milliseconds;
inline constexpr milliseconds kDefaultTimeout{10000};

// The Dart side's decoded view of a method call's answer.
struct MethodReply {
  enum class Kind { success, error, notImplemented, pending };
  Kind kind = Kind::pending;
  Value value;
  FlutterError error;

  bool isSuccess() const { return kind == Kind::success; }
  bool isError() const { return kind == Kind::error; }
  bool isNotImplemented() const { return kind == Kind::notImplemented; }
  bool isPending() const { return kind == Kind::pending; }
  std::string describe() const;
};

// One event as the Dart side receives it.
struct ReceivedEvent {
  std::variant<Value, FlutterError, FlutterEndOfEventStreamType> event;
  bool isValue() const { return std::holds_alternative<Value>(event); }
  bool isError() const { return std::holds_alternative<FlutterError>(event); }
  bool isEnd() const { return std::holds_alternative<FlutterEndOfEventStreamType>(event); }
  const Value& value() const { return std::get<Value>(event); }
  const FlutterError& error() const { return std::get<FlutterError>(event); }
};

// How the Dart side answers a call from the host.
struct NoReply {};
using DartAnswer = std::variant<Value, FlutterError, NoReply>;

class TestDartSide {
 public:
  explicit TestDartSide(std::shared_ptr<FlutterEngine> engine);
  ~TestDartSide();
  TestDartSide(const TestDartSide&) = delete;
  TestDartSide& operator=(const TestDartSide&) = delete;

  FlutterEngine& engine() { return *engine_; }
  FlutterPluginRegistrar& registrar(const std::string& pluginKey);

  // Raw messages. The handle turns ready when the host replies.
  class PendingBinary {
   public:
    bool ready() const;
    // Waits (pumping the main queue) and answers the reply; nullopt on no reply or timeout.
    FlutterBinaryMessage wait(milliseconds timeout = kDefaultTimeout) const;

   private:
    friend class TestDartSide;
    struct State {
      bool ready = false;
      FlutterBinaryMessage reply;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
  };
  PendingBinary sendBinary(const std::string& channel, FlutterBinaryMessage message);

  // Method channels.
  class PendingCall {
   public:
    bool ready() const { return binary_.ready(); }
    // Waits for the answer; a still-missing answer after `timeout` reads as pending.
    MethodReply wait(milliseconds timeout = kDefaultTimeout) const;

   private:
    friend class TestDartSide;
    PendingBinary binary_;
    std::shared_ptr<const FlutterMethodCodec> codec_;
  };
  PendingCall invokeMethodAsync(const std::string& channel, const std::string& method,
                                Value arguments = Value(),
                                std::shared_ptr<const FlutterMethodCodec> codec = nullptr);
  MethodReply invokeMethod(const std::string& channel, const std::string& method,
                           Value arguments = Value(),
                           std::shared_ptr<const FlutterMethodCodec> codec = nullptr,
                           milliseconds timeout = kDefaultTimeout);

  // Message channels: the decoded reply, or nullopt when nothing answered.
  std::optional<Value> sendMessage(const std::string& channel, const Value& message,
                                   std::shared_ptr<const FlutterMessageCodec> codec = nullptr,
                                   milliseconds timeout = kDefaultTimeout);

  // Event channels.
  MethodReply listen(const std::string& channel, Value arguments = Value(),
                     std::shared_ptr<const FlutterMethodCodec> codec = nullptr);
  MethodReply cancel(const std::string& channel, Value arguments = Value());
  const std::vector<ReceivedEvent>& events(const std::string& channel) const;
  // Waits until `channel` has received at least `count` events.
  bool waitForEvents(const std::string& channel, size_t count,
                     milliseconds timeout = kDefaultTimeout);

  // Calls and messages from the host.
  void setMethodCallHandler(const std::string& channel,
                            std::function<DartAnswer(const FlutterMethodCall&)> handler,
                            std::shared_ptr<const FlutterMethodCodec> codec = nullptr);
  void setMessageHandler(const std::string& channel,
                         std::function<std::optional<Value>(const Value&)> handler,
                         std::shared_ptr<const FlutterMessageCodec> codec = nullptr);
  // Method calls the host made on `channel` (decoded with the standard codec unless a handler
  // named another).
  std::vector<FlutterMethodCall> callsFromHost(const std::string& channel) const;
  std::vector<FlutterBinaryMessage> messagesFromHost(const std::string& channel) const;
  bool waitForCallsFromHost(const std::string& channel, size_t count,
                            milliseconds timeout = kDefaultTimeout);

  // Pumping.
  bool runUntil(const std::function<bool()>& done, milliseconds timeout = kDefaultTimeout);
  void drain();

  // Faults that the test provokes on purpose; matching faults (by substring) do not fail it.
  void expectFault(const std::string& substring);
  std::vector<std::string> takeFaults();

 private:
  class Connection;
  std::shared_ptr<FlutterEngine> engine_;
  std::shared_ptr<Connection> connection_;
  std::map<std::string, std::shared_ptr<FlutterPluginRegistrar>> registrars_;
  std::vector<std::string> expected_faults_;
  std::vector<std::string> faults_;
};

}  // namespace flutter::testing
