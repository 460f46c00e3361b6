// The engine's transport beneath every channel: named binary messages in both directions.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/flutter/flutter_codec.h"

// Answers a message; callable once, from any thread. nullopt means no reply.
using FlutterBinaryReply = std::function<void(FlutterBinaryMessage reply)>;
using FlutterBinaryMessageHandler =
    std::function<void(FlutterBinaryMessage message, FlutterBinaryReply reply)>;
using FlutterBinaryMessengerConnection = int64_t;

class FlutterBinaryMessenger {
 public:
  virtual ~FlutterBinaryMessenger() = default;

  // Sends to the Dart side. The callback gets the Dart side's reply, or nullopt when nothing
  // answers, on the main thread.
  virtual void sendOnChannel(const std::string& channel, FlutterBinaryMessage message) = 0;
  virtual void sendOnChannel(const std::string& channel, FlutterBinaryMessage message,
                             FlutterBinaryReply callback) = 0;

  // Installs the handler for messages from the Dart side on `channel`, replacing any other; a
  // null handler removes it. Handlers run on the main thread.
  virtual FlutterBinaryMessengerConnection setMessageHandlerOnChannel(
      const std::string& channel, FlutterBinaryMessageHandler handler) = 0;
  // Removes the handler installed under `connection`, if it is still the channel's handler.
  virtual void cleanUpConnection(FlutterBinaryMessengerConnection connection) = 0;
};
