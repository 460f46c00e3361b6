// "createDataChannel", "dataChannelSend", "dataChannelGetBufferedAmount" and "dataChannelClose".
#include "platform/foundation/ns_uuid.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/checked_arguments.h"
#include "plugins/webrtc_host/configuration_conversion.h"
#include "plugins/webrtc_host/weak_stream_handler.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {

using flutter::Value;
using flutter::ValueMap;

std::shared_ptr<FlutterDataChannel> WebRTCHostPlugin::dataChannelForIds(
    const flutter::Value& arguments) const {
  const Arguments read(arguments);
  auto peer = peer_connections_.find(read.string("peerConnectionId"));
  return peer ? peer->dataChannel(read.string("dataChannelId")) : nullptr;
}

void WebRTCHostPlugin::handleCreateDataChannel(const FlutterMethodCall& call,
                                               FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  const std::string label = arguments.string("label");
  auto configuration = toRTCDataChannelConfiguration(arguments.value("dataChannelDict"));
  auto data_channel = peer->peerConnection()->dataChannelForLabel(
      label, configuration.value_or(RTCDataChannelConfiguration()));
  if (!data_channel) {
    result(failedError(call.method, "Error: dataChannel could not be created!"));
    return;
  }
  const std::string flutter_id = NSUUID().UUIDString();
  auto channel =
      std::make_shared<FlutterDataChannel>(data_channel, peer->flutterId(), flutter_id,
                                           weak_from_this(), peer->dataChannelEventBudget());
  peer->setDataChannel(flutter_id, channel);
  // Set before anyone listens: what the channel reports at once is queued.
  data_channel->setDelegate(channel);
  auto event_channel = FlutterEventChannel::eventChannelWithName(channel->eventChannelName(), messenger_);
  channel->setEventChannel(event_channel);
  event_channel->setStreamHandler(std::make_shared<WeakStreamHandler>(channel));
  result(ValueMap{
      {"label", label}, {"id", int32_t{data_channel->channelId()}}, {"flutterId", flutter_id}});
}

void WebRTCHostPlugin::handleDataChannelSend(const FlutterMethodCall& call, FlutterResult result) {
  auto channel = dataChannelForIds(call.arguments);
  if (!channel) {
    result(nullptr);
    return;
  }
  const Arguments arguments(call.arguments);
  const Value* data = arguments.value("data");
  const bool binary = arguments.optionalString("type") == "binary";
  std::optional<std::vector<uint8_t>> bytes;
  if (binary && data != nullptr) {
    bytes = typedDataBytes(*data);
  } else if (data != nullptr && data->asString() != nullptr) {
    bytes = std::vector<uint8_t>(data->asString()->begin(), data->asString()->end());
  }
  if (!bytes) {
    result(failedError(call.method, binary ? "Invalid data: binary messages need typed data"
                                           : "Invalid data: text messages need a string"));
    return;
  }
  channel->channel()->sendData(RTCDataBuffer(std::move(*bytes), binary));
  result(nullptr);
}

void WebRTCHostPlugin::handleDataChannelGetBufferedAmount(const FlutterMethodCall& call,
                                                          FlutterResult result) {
  auto channel = dataChannelForIds(call.arguments);
  if (!channel || channel->channel()->readyState() != RTCDataChannelStateOpen) {
    result(failedError(call.method, "Error: dataChannel not found or not opened!"));
    return;
  }
  const uint64_t amount = channel->channel()->bufferedAmount();
  result(ValueMap{{"bufferedAmount", static_cast<int64_t>(amount)}});
}

void WebRTCHostPlugin::handleDataChannelClose(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  if (auto peer = peer_connections_.find(arguments.string("peerConnectionId"))) {
    if (auto channel = peer->removeDataChannel(arguments.string("dataChannelId"))) {
      auto event_channel = channel->eventChannel();
      // The sink stays: the closing states the channel reports next still reach the Dart side.
      channel->channel()->close();
      if (event_channel) event_channel->setStreamHandler(nullptr);
      channel->setEventChannel(nullptr);
    }
  }
  result(nullptr);
}

}  // namespace webrtc_host
