// The channels of the end-to-end fixture host: what the real host will offer once plug-ins with
// event channels and calls to the Dart side land, available now to exercise the socket end to end.
//
// - method channel "e2e.fixture/methods": "echo" answers its arguments; "fail" answers the error
//   "fixture_error" with the arguments as details; "askDart" {"method", "arguments"} calls that
//   method on "e2e.fixture/dart" and answers the outcome; "lastOutcome" answers the outcome of
//   the latest such call, or null while one is still waiting.
// - event channel "e2e.fixture/events": "listen" {"count": n} sends 0..n-1, then the error event
//   "fixture_event_error", then the end of the stream.
// - message channel "e2e.fixture/messages": answers each message with itself.
#pragma once

#include <memory>

#include "platform/flutter/flutter.h"

namespace e2e_fixture {

class FixtureChannels {
 public:
  explicit FixtureChannels(std::shared_ptr<FlutterBinaryMessenger> messenger);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace e2e_fixture
