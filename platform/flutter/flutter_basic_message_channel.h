// Message channels: encoded messages with one handler and a reply callback. The message-channel
// APIs of the plug-ins are built on them.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_standard_codec.h"

// Answers a message with a value (the plug-in APIs answer a one- or three-element list).
using FlutterReply = std::function<void(const flutter::Value& reply)>;
using FlutterMessageHandler = std::function<void(const flutter::Value& message, FlutterReply reply)>;

class FlutterBasicMessageChannel {
 public:
  static std::shared_ptr<FlutterBasicMessageChannel> messageChannelWithName(
      const std::string& name, std::shared_ptr<FlutterBinaryMessenger> messenger,
      std::shared_ptr<const FlutterMessageCodec> codec = nullptr);

  // A null codec means the standard message codec.
  FlutterBasicMessageChannel(std::string name, std::shared_ptr<FlutterBinaryMessenger> messenger,
                             std::shared_ptr<const FlutterMessageCodec> codec = nullptr);

  const std::string& name() const { return name_; }

  // Installs the handler (null removes it). A message that cannot be decoded is answered with the
  // error list ["malformed_message", description, null] without reaching the handler.
  void setMessageHandler(FlutterMessageHandler handler);

  void sendMessage(const flutter::Value& message);
  // The callback gets the decoded reply, or nullopt when the Dart side did not reply.
  void sendMessage(const flutter::Value& message,
                   std::function<void(const std::optional<flutter::Value>& reply)> callback);

 private:
  std::string name_;
  std::shared_ptr<FlutterBinaryMessenger> messenger_;
  std::shared_ptr<const FlutterMessageCodec> codec_;
};
