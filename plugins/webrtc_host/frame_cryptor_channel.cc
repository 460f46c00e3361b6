#include "plugins/webrtc_host/frame_cryptor_channel.h"

#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {

FrameCryptorChannel::FrameCryptorChannel(std::shared_ptr<RTCFrameCryptor> cryptor,
                                         std::weak_ptr<WebRTCHostPlugin> plugin)
    : cryptor_(std::move(cryptor)), plugin_(std::move(plugin)) {}

void FrameCryptorChannel::setEventChannel(std::shared_ptr<FlutterEventChannel> eventChannel) {
  std::lock_guard lock(mutex_);
  event_channel_ = std::move(eventChannel);
}

void FrameCryptorChannel::sendEvent(flutter::Value event) { events_.send(std::move(event)); }

void FrameCryptorChannel::dispose() {
  cryptor_->setEnabled(false);
  cryptor_->setDelegate({});
  std::shared_ptr<FlutterEventChannel> event_channel;
  {
    std::lock_guard lock(mutex_);
    event_channel = std::move(event_channel_);
  }
  events_.clear();
  // Outside the lock: the messenger may call back into this handler.
  if (event_channel) event_channel->setStreamHandler(nullptr);
}

std::optional<FlutterError> FrameCryptorChannel::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  events_.listen(std::move(events));
  return std::nullopt;
}

std::optional<FlutterError> FrameCryptorChannel::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  events_.cancel();
  return std::nullopt;
}

void FrameCryptorChannel::frameCryptorDidStateChangeWithParticipantId(
    RTCFrameCryptor& /*frameCryptor*/, const std::string& participantId, int state) {
  if (auto plugin = plugin_.lock()) {
    plugin->frameCryptorDidStateChangeWithParticipantId(*this, participantId, state);
  }
}

}  // namespace webrtc_host
