// A stream handler that forwards to another one without keeping it alive, so that an object
// holding its own event channel never keeps itself alive through the messenger.
#pragma once

#include <memory>

#include "platform/flutter/flutter.h"

namespace webrtc_host {

class WeakStreamHandler : public FlutterStreamHandler {
 public:
  explicit WeakStreamHandler(std::weak_ptr<FlutterStreamHandler> target)
      : target_(std::move(target)) {}

  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override {
    if (auto target = target_.lock()) return target->onListenWithArguments(arguments, events);
    return std::nullopt;
  }
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override {
    if (auto target = target_.lock()) return target->onCancelWithArguments(arguments);
    return std::nullopt;
  }

 private:
  std::weak_ptr<FlutterStreamHandler> target_;
};

}  // namespace webrtc_host
