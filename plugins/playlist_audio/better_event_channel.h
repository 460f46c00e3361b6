// An event channel that is its own stream handler: it keeps the Dart side's sink while the Dart
// side listens, so the player can simply send events; events sent while nobody listens are lost.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/flutter/flutter_event_channel.h"

namespace playlist_audio {

class BetterEventChannel : public FlutterStreamHandler,
                           public std::enable_shared_from_this<BetterEventChannel> {
 public:
  // initWithName:messenger:, installed as the channel's stream handler.
  static std::shared_ptr<BetterEventChannel> create(
      const std::string& name, std::shared_ptr<FlutterBinaryMessenger> messenger);

  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

  void sendEvent(FlutterEvent event);
  // Ends the Dart side's stream, if it listens, and detaches from the channel. The sink is dropped
  // too, so nothing more reaches a stream that has ended.
  void dispose();

 private:
  explicit BetterEventChannel(std::shared_ptr<FlutterEventChannel> channel);

  std::shared_ptr<FlutterEventChannel> event_channel_;
  FlutterEventSink event_sink_;
};

}  // namespace playlist_audio
