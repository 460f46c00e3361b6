#include "plugins/webrtc_host/flutter_frame_cryptor.h"

#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {

FlutterFrameCryptor::FlutterFrameCryptor(std::shared_ptr<RTCFrameCryptor> cryptor,
                                         std::weak_ptr<WebRTCHostPlugin> plugin,
                                         const std::string& eventChannelName)
    : cryptor_(std::move(cryptor)),
      plugin_(std::move(plugin)),
      events_(eventChannelName, std::make_shared<EventByteBudget>(kFrameCryptorEventBytes)) {}

void FlutterFrameCryptor::setEventChannel(std::shared_ptr<FlutterEventChannel> eventChannel) {
  std::lock_guard lock(mutex_);
  event_channel_ = std::move(eventChannel);
}

void FlutterFrameCryptor::sendEvent(flutter::Value event) { events_.send(std::move(event)); }

void FlutterFrameCryptor::dispose() {
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

std::optional<FlutterError> FlutterFrameCryptor::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  events_.listen(std::move(events));
  return std::nullopt;
}

std::optional<FlutterError> FlutterFrameCryptor::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  events_.cancel();
  return std::nullopt;
}

void FlutterFrameCryptor::frameCryptorDidStateChangeWithParticipantId(
    RTCFrameCryptor& /*frameCryptor*/, const std::string& participantId, int state) {
  if (auto plugin = plugin_.lock()) {
    plugin->frameCryptorDidStateChangeWithParticipantId(*this, participantId, state);
  }
}

}  // namespace webrtc_host
