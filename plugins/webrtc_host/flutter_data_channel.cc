#include "plugins/webrtc_host/flutter_data_channel.h"

#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {

FlutterDataChannel::FlutterDataChannel(std::shared_ptr<RTCDataChannel> channel,
                                       std::string peerConnectionId, std::string flutterChannelId,
                                       std::weak_ptr<WebRTCHostPlugin> plugin,
                                       std::shared_ptr<EventByteBudget> eventBudget)
    : channel_(std::move(channel)),
      peer_connection_id_(std::move(peerConnectionId)),
      flutter_channel_id_(std::move(flutterChannelId)),
      plugin_(std::move(plugin)),
      events_(eventChannelName(), std::move(eventBudget)) {}

std::shared_ptr<FlutterEventChannel> FlutterDataChannel::eventChannel() const {
  std::lock_guard lock(mutex_);
  return event_channel_;
}

void FlutterDataChannel::setEventChannel(std::shared_ptr<FlutterEventChannel> eventChannel) {
  std::lock_guard lock(mutex_);
  event_channel_ = std::move(eventChannel);
}

void FlutterDataChannel::setEventSink(FlutterEventSink sink) {
  if (sink) {
    events_.listen(std::move(sink));
  } else {
    events_.cancel();
  }
}

void FlutterDataChannel::sendEvent(flutter::Value event, QueuedEventSink::Kind kind) {
  events_.send(std::move(event), kind);
}

std::optional<FlutterError> FlutterDataChannel::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  events_.listen(std::move(events));
  return std::nullopt;
}

std::optional<FlutterError> FlutterDataChannel::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  events_.cancel();
  return std::nullopt;
}

void FlutterDataChannel::dataChannelDidChangeState(RTCDataChannel& /*dataChannel*/) {
  if (auto plugin = plugin_.lock()) plugin->dataChannelDidChangeState(*this);
}

void FlutterDataChannel::dataChannelDidReceiveMessageWithBuffer(RTCDataChannel& /*dataChannel*/,
                                                                const RTCDataBuffer& buffer) {
  if (auto plugin = plugin_.lock()) plugin->dataChannelDidReceiveMessageWithBuffer(*this, buffer);
}

void FlutterDataChannel::dataChannelDidChangeBufferedAmount(RTCDataChannel& /*dataChannel*/,
                                                            uint64_t amount) {
  if (auto plugin = plugin_.lock()) plugin->dataChannelDidChangeBufferedAmount(*this, amount);
}

}  // namespace webrtc_host
