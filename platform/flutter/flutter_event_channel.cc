#include "platform/flutter/flutter_event_channel.h"

#include "platform/flutter/flutter_faults.h"
#include "platform/flutter/flutter_method_channel.h"

namespace {

// What one installed handler remembers between "listen" and "cancel".
struct StreamState {
  std::shared_ptr<FlutterStreamHandler> handler;
  bool listening = false;
};

FlutterEventSink makeSink(const std::string& name, std::weak_ptr<FlutterBinaryMessenger> messenger,
                          std::shared_ptr<const FlutterMethodCodec> codec) {
  return [name, messenger, codec](FlutterEvent event) {
    auto target = messenger.lock();
    if (!target) return;
    const auto& payload = event.get();
    if (std::holds_alternative<FlutterEndOfEventStreamType>(payload)) {
      target->sendOnChannel(name, std::nullopt);
      return;
    }
    try {
      if (auto* error = std::get_if<FlutterError>(&payload)) {
        target->sendOnChannel(name, codec->encodeErrorEnvelope(*error));
      } else {
        target->sendOnChannel(name, codec->encodeSuccessEnvelope(std::get<flutter::Value>(payload)));
      }
    } catch (const FlutterCodecError& error) {
      flutter::reportFault("Event on '" + name + "' could not be encoded: " + error.what());
    }
  };
}

// The answer to "listen" or "cancel": success, or the handler's error when it can be encoded.
FlutterBytes encodeOutcome(const FlutterMethodCodec& codec, const std::string& name,
                           const std::optional<FlutterError>& error) {
  if (!error) return codec.encodeSuccessEnvelope(nullptr);
  try {
    return codec.encodeErrorEnvelope(*error);
  } catch (const FlutterCodecError& failure) {
    flutter::reportFault("Error of the stream on '" + name +
                         "' could not be encoded: " + failure.what());
    return codec.encodeErrorEnvelope(FlutterError{
        kFlutterEncodingErrorCode, std::string("The error could not be encoded: ") + failure.what(),
        nullptr});
  }
}

}  // namespace

std::shared_ptr<FlutterEventChannel> FlutterEventChannel::eventChannelWithName(
    const std::string& name, std::shared_ptr<FlutterBinaryMessenger> messenger,
    std::shared_ptr<const FlutterMethodCodec> codec) {
  return std::make_shared<FlutterEventChannel>(name, std::move(messenger), std::move(codec));
}

FlutterEventChannel::FlutterEventChannel(std::string name,
                                         std::shared_ptr<FlutterBinaryMessenger> messenger,
                                         std::shared_ptr<const FlutterMethodCodec> codec)
    : name_(std::move(name)),
      messenger_(std::move(messenger)),
      codec_(codec ? std::move(codec) : FlutterStandardMethodCodec::sharedInstance()) {}

void FlutterEventChannel::setStreamHandler(std::shared_ptr<FlutterStreamHandler> handler) {
  if (!messenger_) return;
  if (!handler) {
    messenger_->setMessageHandlerOnChannel(name_, nullptr);
    return;
  }
  auto state = std::make_shared<StreamState>();
  state->handler = std::move(handler);
  std::weak_ptr<FlutterBinaryMessenger> weak_messenger = messenger_;
  messenger_->setMessageHandlerOnChannel(
      name_, [state, name = name_, codec = codec_, weak_messenger](FlutterBinaryMessage message,
                                                                   FlutterBinaryReply reply) {
        FlutterMethodCall call;
        try {
          call = codec->decodeMethodCall(message ? std::span<const uint8_t>(*message)
                                                 : std::span<const uint8_t>());
        } catch (const FlutterCodecError& error) {
          reply(codec->encodeErrorEnvelope(FlutterError{
              kFlutterMalformedMessageCode,
              "Undecodable call on event channel '" + name + "': " + error.what(), nullptr}));
          return;
        }
        std::optional<FlutterError> error;
        if (call.method == "listen") {
          if (state->listening) {
            state->listening = false;
            state->handler->onCancelWithArguments(nullptr);
          }
          error = state->handler->onListenWithArguments(call.arguments,
                                                        makeSink(name, weak_messenger, codec));
          state->listening = !error.has_value();
          reply(encodeOutcome(*codec, name, error));
        } else if (call.method == "cancel") {
          if (!state->listening) {
            reply(codec->encodeErrorEnvelope(
                FlutterError{"error", "No active stream to cancel", nullptr}));
            return;
          }
          state->listening = false;
          error = state->handler->onCancelWithArguments(call.arguments);
          reply(encodeOutcome(*codec, name, error));
        } else {
          reply(std::nullopt);
        }
      });
}
