// Event channels: a stream of events to the Dart side, started ("listen") and stopped ("cancel")
// by the Dart side through a stream handler.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_result.h"
#include "platform/flutter/flutter_standard_codec.h"

class FlutterStreamHandler {
 public:
  virtual ~FlutterStreamHandler() = default;
  // Starts the stream; events go to `events` until cancelled. An error refuses the listen.
  virtual std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                            FlutterEventSink events) = 0;
  virtual std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) = 0;
};

class FlutterEventChannel {
 public:
  static std::shared_ptr<FlutterEventChannel> eventChannelWithName(
      const std::string& name, std::shared_ptr<FlutterBinaryMessenger> messenger,
      std::shared_ptr<const FlutterMethodCodec> codec = nullptr);

  FlutterEventChannel(std::string name, std::shared_ptr<FlutterBinaryMessenger> messenger,
                      std::shared_ptr<const FlutterMethodCodec> codec = nullptr);

  const std::string& name() const { return name_; }

  // Installs the stream handler (null removes it). A second "listen" cancels the first stream
  // before starting the new one.
  void setStreamHandler(std::shared_ptr<FlutterStreamHandler> handler);

 private:
  std::string name_;
  std::shared_ptr<FlutterBinaryMessenger> messenger_;
  std::shared_ptr<const FlutterMethodCodec> codec_;
};
