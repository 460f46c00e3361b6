// Answers to method calls and events on event channels.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "platform/flutter/flutter_codec.h"

struct FlutterMethodNotImplementedType {
  friend bool operator==(FlutterMethodNotImplementedType, FlutterMethodNotImplementedType) {
    return true;
  }
};
// The answer for a method name that a channel does not handle.
inline constexpr FlutterMethodNotImplementedType FlutterMethodNotImplemented{};

struct FlutterEndOfEventStreamType {
  friend bool operator==(FlutterEndOfEventStreamType, FlutterEndOfEventStreamType) { return true; }
};
// The event that ends an event stream.
inline constexpr FlutterEndOfEventStreamType FlutterEndOfEventStream{};

// What a method call was answered with.
using FlutterMethodResponse =
    std::variant<flutter::Value, FlutterError, FlutterMethodNotImplementedType>;

// Error code of the answer to a call whose result was dropped without being called.
inline constexpr const char* kFlutterUnansweredCallCode = "unanswered_call";

// The one-shot callback that answers a method call: a value, an error or not-implemented. It may
// be called from any thread; a second call is reported as a fault and otherwise ignored. Copies
// share one answer. A result made for a call (with its description) that loses its last copy
// uncalled answers the call with the error kFlutterUnansweredCallCode, after logging the fault,
// so that the Dart side never waits for it forever.
class FlutterResult {
 public:
  using Deliver = std::function<void(FlutterMethodResponse)>;

  FlutterResult() = default;
  explicit FlutterResult(Deliver deliver);
  // `callDescription` names the call in the fault's log line ("'method' on channel 'name'").
  FlutterResult(Deliver deliver, std::string callDescription);

  void operator()(flutter::Value value) const { send(std::move(value)); }
  void operator()(FlutterError error) const { send(std::move(error)); }
  void operator()(FlutterMethodNotImplementedType) const { send(FlutterMethodNotImplemented); }
  explicit operator bool() const { return state_ != nullptr; }

 private:
  class State;
  void send(FlutterMethodResponse response) const;

  std::shared_ptr<State> state_;
};

// One event on an event channel: a value, an error, or the end of the stream.
class FlutterEvent {
 public:
  template <typename T>
    requires std::is_constructible_v<flutter::Value, T>
  FlutterEvent(T&& value) : event_(flutter::Value(std::forward<T>(value))) {}
  FlutterEvent(FlutterError error) : event_(std::move(error)) {}
  FlutterEvent(FlutterEndOfEventStreamType) : event_(FlutterEndOfEventStream) {}

  const std::variant<flutter::Value, FlutterError, FlutterEndOfEventStreamType>& get() const {
    return event_;
  }

 private:
  std::variant<flutter::Value, FlutterError, FlutterEndOfEventStreamType> event_;
};

using FlutterEventSink = std::function<void(FlutterEvent event)>;
