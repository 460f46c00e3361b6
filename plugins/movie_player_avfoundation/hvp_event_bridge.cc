#include "plugins/movie_player_avfoundation/hvp_event_bridge.h"

namespace movie_player_avfoundation {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

std::shared_ptr<HVPEventBridge> HVPEventBridge::create(
    std::shared_ptr<FlutterBinaryMessenger> messenger, const std::string& channelName) {
  auto channel = FlutterEventChannel::eventChannelWithName(channelName, std::move(messenger));
  std::shared_ptr<HVPEventBridge> bridge(new HVPEventBridge(channel));
  channel->setStreamHandler(bridge);
  return bridge;
}

std::optional<FlutterError> HVPEventBridge::onListenWithArguments(const Value& /*arguments*/,
                                                                  FlutterEventSink events) {
  event_sink_ = std::move(events);
  if (queued_events_) {
    auto queued = std::move(*queued_events_);
    queued_events_->clear();
    for (auto& event : queued) event_sink_(std::move(event));
  }
  return std::nullopt;
}

std::optional<FlutterError> HVPEventBridge::onCancelWithArguments(const Value& /*arguments*/) {
  event_sink_ = nullptr;
  queued_events_.reset();
  return std::nullopt;
}

void HVPEventBridge::sendOrQueue(FlutterEvent event) {
  if (event_sink_) {
    event_sink_(std::move(event));
  } else if (queued_events_) {
    queued_events_->push_back(std::move(event));
  }
}

void HVPEventBridge::videoPlayerDidInitializeWithDuration(int64_t durationMillis, CGSize size) {
  sendOrQueue(ValueMap{{"event", "initialized"},
                       {"duration", durationMillis},
                       {"width", static_cast<double>(size.width)},
                       {"height", static_cast<double>(size.height)}});
}

void HVPEventBridge::videoPlayerDidErrorWithMessage(const std::string& message) {
  sendOrQueue(FlutterError{"VideoError", message, nullptr});
}

void HVPEventBridge::videoPlayerDidComplete() { sendOrQueue(ValueMap{{"event", "completed"}}); }

void HVPEventBridge::videoPlayerDidStartBuffering() {
  sendOrQueue(ValueMap{{"event", "bufferingStart"}});
}

void HVPEventBridge::videoPlayerDidEndBuffering() {
  sendOrQueue(ValueMap{{"event", "bufferingEnd"}});
}

void HVPEventBridge::videoPlayerDidUpdateBufferRegions(
    const std::vector<std::vector<int64_t>>& regions) {
  ValueList values;
  for (const auto& region : regions) {
    ValueList pair;
    for (int64_t number : region) pair.emplace_back(number);
    values.emplace_back(std::move(pair));
  }
  sendOrQueue(ValueMap{{"event", "bufferingUpdate"}, {"values", std::move(values)}});
}

void HVPEventBridge::videoPlayerDidSetPlaying(bool playing) {
  sendOrQueue(ValueMap{{"event", "isPlayingStateUpdate"}, {"isPlaying", playing}});
}

void HVPEventBridge::videoPlayerWasDisposed() { event_channel_->setStreamHandler(nullptr); }

}  // namespace movie_player_avfoundation
