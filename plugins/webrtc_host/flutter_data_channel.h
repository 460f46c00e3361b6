// What the plug-in keeps for one data channel: its ids, its event channel and sink, and the
// events produced while nobody listens, delivered in order when listening starts. The sink and
// the queue are touched under one lock, so an event is either queued before a listener arrives
// (and flushed by it) or posted directly, never lost.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_data_channel.h"

namespace webrtc_host {

class WebRTCHostPlugin;

// Also the channel's delegate: it hands every notification to the plug-in.
class FlutterDataChannel : public FlutterStreamHandler, public RTCDataChannelDelegate {
 public:
  FlutterDataChannel(std::shared_ptr<RTCDataChannel> channel, std::string peerConnectionId,
                     std::string flutterChannelId, std::weak_ptr<WebRTCHostPlugin> plugin);

  const std::shared_ptr<RTCDataChannel>& channel() const { return channel_; }
  const std::string& peerConnectionId() const { return peer_connection_id_; }
  const std::string& flutterChannelId() const { return flutter_channel_id_; }

  std::shared_ptr<FlutterEventChannel> eventChannel() const;
  void setEventChannel(std::shared_ptr<FlutterEventChannel> eventChannel);
  void setEventSink(FlutterEventSink sink);

  // Posts the event to the sink, or queues it while there is none.
  void sendEvent(flutter::Value event);

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
  FlutterEventSink event_sink_;
  std::vector<flutter::Value> event_queue_;
};

}  // namespace webrtc_host
