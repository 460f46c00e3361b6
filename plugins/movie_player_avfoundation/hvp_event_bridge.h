// A player's event channel: the stream handler that sends the player's reports as events, and
// keeps those made before the first listen until it arrives. After a cancel, reports are dropped
// until the next listen. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/flutter_event_channel.h"
#include "plugins/movie_player_avfoundation/hvp_video_event_listener.h"

namespace movie_player_avfoundation {

class HVPEventBridge final : public FlutterStreamHandler,
                             public HVPVideoEventListener,
                             public std::enable_shared_from_this<HVPEventBridge> {
 public:
  // Makes the bridge the stream handler of a new channel of that name.
  static std::shared_ptr<HVPEventBridge> create(std::shared_ptr<FlutterBinaryMessenger> messenger,
                                                const std::string& channelName);

  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

  void videoPlayerDidInitializeWithDuration(int64_t durationMillis, CGSize size) override;
  void videoPlayerDidErrorWithMessage(const std::string& message) override;
  void videoPlayerDidComplete() override;
  void videoPlayerDidStartBuffering() override;
  void videoPlayerDidEndBuffering() override;
  void videoPlayerDidUpdateBufferRegions(const std::vector<std::vector<int64_t>>& regions) override;
  void videoPlayerDidSetPlaying(bool playing) override;
  void videoPlayerWasDisposed() override;

 private:
  explicit HVPEventBridge(std::shared_ptr<FlutterEventChannel> channel)
      : event_channel_(std::move(channel)) {}
  void sendOrQueue(FlutterEvent event);

  std::shared_ptr<FlutterEventChannel> event_channel_;
  FlutterEventSink event_sink_;
  // Absent after a cancel: nothing is kept then.
  std::optional<std::vector<FlutterEvent>> queued_events_{std::in_place};
};

}  // namespace movie_player_avfoundation
