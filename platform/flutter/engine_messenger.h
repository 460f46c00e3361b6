// The engine's binary messenger: handlers for messages from the Dart side, and delivery of the
// host's messages to whichever Dart side is attached.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_dart_side.h"

namespace flutter {

class EngineMessenger final : public FlutterBinaryMessenger,
                              public std::enable_shared_from_this<EngineMessenger> {
 public:
  void sendOnChannel(const std::string& channel, FlutterBinaryMessage message) override;
  void sendOnChannel(const std::string& channel, FlutterBinaryMessage message,
                     FlutterBinaryReply callback) override;
  FlutterBinaryMessengerConnection setMessageHandlerOnChannel(
      const std::string& channel, FlutterBinaryMessageHandler handler) override;
  void cleanUpConnection(FlutterBinaryMessengerConnection connection) override;

  void attachDartSide(std::shared_ptr<FlutterDartSide> dartSide);
  void detachDartSide(const FlutterDartSide* dartSide);

  // Delivers a message from the Dart side to its handler on the main thread. `reply` is called
  // exactly once, on the main thread; nullopt when no handler is installed.
  void deliverFromDartSide(const std::string& channel, FlutterBinaryMessage message,
                           std::function<void(FlutterBinaryMessage)> reply);

  bool hasHandler(const std::string& channel) const;
  // Every channel that has a handler now, in name order.
  std::vector<std::string> channelsWithHandlers() const;
  // Drops every handler (and what they hold), for engine shutdown.
  void removeAllHandlers();

 private:
  struct Entry {
    FlutterBinaryMessengerConnection connection;
    std::shared_ptr<FlutterBinaryMessageHandler> handler;
  };

  mutable std::mutex mutex_;
  std::map<std::string, Entry> handlers_;
  FlutterBinaryMessengerConnection next_connection_ = 1;
  std::weak_ptr<FlutterDartSide> dart_side_;
};

}  // namespace flutter
