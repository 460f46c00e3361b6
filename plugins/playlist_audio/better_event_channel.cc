#include "plugins/playlist_audio/better_event_channel.h"

#include <exception>

#include "platform/foundation/ns_log.h"

namespace playlist_audio {

std::shared_ptr<BetterEventChannel> BetterEventChannel::create(
    const std::string& name, std::shared_ptr<FlutterBinaryMessenger> messenger) {
  auto channel = FlutterEventChannel::eventChannelWithName(name, std::move(messenger));
  std::shared_ptr<BetterEventChannel> wrapper(new BetterEventChannel(channel));
  channel->setStreamHandler(wrapper);
  return wrapper;
}

BetterEventChannel::BetterEventChannel(std::shared_ptr<FlutterEventChannel> channel)
    : event_channel_(std::move(channel)) {}

std::optional<FlutterError> BetterEventChannel::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  event_sink_ = std::move(events);
  return std::nullopt;
}

std::optional<FlutterError> BetterEventChannel::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  event_sink_ = nullptr;
  return std::nullopt;
}

void BetterEventChannel::sendEvent(FlutterEvent event) {
  if (event_sink_) event_sink_(std::move(event));
}

void BetterEventChannel::dispose() {
  if (event_sink_) {
    try {
      event_sink_(FlutterEndOfEventStream);
    } catch (const std::exception& exception) {
      NSLog("Exception while ending event stream: %s", exception.what());
    }
  }
  event_sink_ = nullptr;
  event_channel_->setStreamHandler(nullptr);
}

}  // namespace playlist_audio
