// The Dart side's end of an engine: the in-process test peer or the socket transport.
#pragma once

#include <string>

#include "platform/flutter/flutter_binary_messenger.h"

class FlutterDartSide {
 public:
  virtual ~FlutterDartSide() = default;
  // A message from the host, on the main thread. `reply` is null when the host wants no answer;
  // otherwise it must be called once (nullopt: no handler on the Dart side).
  virtual void messageFromHost(const std::string& channel, FlutterBinaryMessage message,
                               FlutterBinaryReply reply) = 0;
};
