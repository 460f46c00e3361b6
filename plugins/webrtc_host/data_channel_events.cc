// Notifications of data channels, as events on each channel's own event channel.
#include "platform/foundation/utf8.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {

using flutter::Value;
using flutter::ValueMap;

std::optional<std::string> WebRTCHostPlugin::stringForDataChannelState(int state) {
  switch (state) {
    case RTCDataChannelStateConnecting:
      return "connecting";
    case RTCDataChannelStateOpen:
      return "open";
    case RTCDataChannelStateClosing:
      return "closing";
    case RTCDataChannelStateClosed:
      return "closed";
    default:
      return std::nullopt;
  }
}

void WebRTCHostPlugin::dataChannelDidChangeState(FlutterDataChannel& channel) {
  const auto& data_channel = channel.channel();
  auto state = stringForDataChannelState(data_channel->readyState());
  channel.sendEvent(ValueMap{{"event", "dataChannelStateChanged"},
                             {"id", int32_t{data_channel->channelId()}},
                             {"state", valueOrNull(state)}},
                    // A channel changes state a few times in its life; the Dart side needs each.
                    QueuedEventSink::Kind::kEssential);
}

void WebRTCHostPlugin::dataChannelDidReceiveMessageWithBuffer(FlutterDataChannel& channel,
                                                              const RTCDataBuffer& buffer) {
  Value data;
  if (buffer.isBinary()) {
    data = Value(buffer.data());
  } else {
    std::string text(buffer.data().begin(), buffer.data().end());
    if (foundation::isValidUtf8(text)) data = Value(std::move(text));
  }
  channel.sendEvent(ValueMap{{"event", "dataChannelReceiveMessage"},
                             {"id", int32_t{channel.channel()->channelId()}},
                             {"type", buffer.isBinary() ? "binary" : "text"},
                             {"data", std::move(data)}});
}

void WebRTCHostPlugin::dataChannelDidChangeBufferedAmount(FlutterDataChannel& channel,
                                                          uint64_t amount) {
  const auto& data_channel = channel.channel();
  channel.sendEvent(
      ValueMap{{"event", "dataChannelBufferedAmountChange"},
               {"id", int32_t{data_channel->channelId()}},
               {"bufferedAmount", static_cast<int64_t>(data_channel->bufferedAmount())},
               {"changedAmount", static_cast<int64_t>(amount)}});
}

}  // namespace webrtc_host
