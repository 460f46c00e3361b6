// What the plug-in keeps for one data channel: its ids, its event channel and its events, queued
// while nobody listens and delivered in order when listening starts.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_data_channel.h"
#include "plugins/webrtc_host/queued_event_sink.h"

namespace webrtc_host {

class WebRTCHostPlugin;

// Also the channel's delegate: it hands every notification to the plug-in.
class FlutterDataChannel : public FlutterStreamHandler, public RTCDataChannelDelegate {
 public:
  // The channel's waiting events are charged to `eventBudget`, shared with the other channels of
  // its peer connection.
  FlutterDataChannel(std::shared_ptr<RTCDataChannel> channel, std::string peerConnectionId,
                     std::string flutterChannelId, std::weak_ptr<WebRTCHostPlugin> plugin,
                     std::shared_ptr<EventByteBudget> eventBudget);

  const std::shared_ptr<RTCDataChannel>& channel() const { return channel_; }
  const std::string& peerConnectionId() const { return peer_connection_id_; }
  const std::string& flutterChannelId() const { return flutter_channel_id_; }
  // Where its events go: unique per connection and channel.
  std::string eventChannelName() const {
    return "WebRTCHost/dataChannelEvent" + peer_connection_id_ + flutter_channel_id_;
  }

  std::shared_ptr<FlutterEventChannel> eventChannel() const;
  void setEventChannel(std::shared_ptr<FlutterEventChannel> eventChannel);
  void setEventSink(FlutterEventSink sink);

  // Posts the event to the sink, or queues it while there is none.
  void sendEvent(flutter::Value event,
                 QueuedEventSink::Kind kind = QueuedEventSink::Kind::kDroppable);
  // Bytes of its events that wait for the Dart side.
  size_t heldEventBytes() const { return events_.heldBytes(); }

  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

  void dataChannelDidChangeState(RTCDataChannel& dataChannel) override;
  void dataChannelDidReceiveMessageWithBuffer(RTCDataChannel& dataChannel,
                                              const RTCDataBuffer& buffer) override;
  void dataChannelDidChangeBufferedAmount(RTCDataChannel& dataChannel, uint64_t amount) override;

 private:
  std::shared_ptr<RTCDataChannel> channel_;
  std::string peer_connection_id_;
  std::string flutter_channel_id_;
  std::weak_ptr<WebRTCHostPlugin> plugin_;
  mutable std::mutex mutex_;
  std::shared_ptr<FlutterEventChannel> event_channel_;
  QueuedEventSink events_;
};

}  // namespace webrtc_host
