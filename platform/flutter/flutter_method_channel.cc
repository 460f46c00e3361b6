#include "platform/flutter/flutter_method_channel.h"

#include "platform/flutter/flutter_faults.h"

std::shared_ptr<FlutterMethodChannel> FlutterMethodChannel::methodChannelWithName(
    const std::string& name, std::shared_ptr<FlutterBinaryMessenger> messenger,
    std::shared_ptr<const FlutterMethodCodec> codec) {
  return std::make_shared<FlutterMethodChannel>(name, std::move(messenger), std::move(codec));
}

FlutterMethodChannel::FlutterMethodChannel(std::string name,
                                           std::shared_ptr<FlutterBinaryMessenger> messenger,
                                           std::shared_ptr<const FlutterMethodCodec> codec)
    : name_(std::move(name)),
      messenger_(std::move(messenger)),
      codec_(codec ? std::move(codec) : FlutterStandardMethodCodec::sharedInstance()) {}

void FlutterMethodChannel::setMethodCallHandler(FlutterMethodCallHandler handler) {
  if (!messenger_) return;
  if (!handler) {
    messenger_->setMessageHandlerOnChannel(name_, nullptr);
    connection_ = 0;
    return;
  }
  connection_ = messenger_->setMessageHandlerOnChannel(
      name_, [codec = codec_, name = name_, handler = std::move(handler)](
                 FlutterBinaryMessage message, FlutterBinaryReply reply) {
        FlutterMethodCall call;
        try {
          call = codec->decodeMethodCall(message ? std::span<const uint8_t>(*message)
                                                 : std::span<const uint8_t>());
        } catch (const FlutterCodecError& error) {
          reply(codec->encodeErrorEnvelope(
              FlutterError{kFlutterMalformedMessageCode,
                           "Undecodable method call on channel '" + name + "': " + error.what(),
                           nullptr}));
          return;
        }
        FlutterResult result(
            [codec, reply, name, method = call.method](FlutterMethodResponse response) {
              if (std::holds_alternative<FlutterMethodNotImplementedType>(response)) {
                reply(std::nullopt);
                return;
              }
              try {
                if (auto* error = std::get_if<FlutterError>(&response)) {
                  reply(codec->encodeErrorEnvelope(*error));
                } else {
                  reply(codec->encodeSuccessEnvelope(std::get<flutter::Value>(response)));
                }
              } catch (const FlutterCodecError& error) {
                flutter::reportFault("Answer to '" + method + "' on '" + name +
                                     "' could not be encoded: " + error.what());
                reply(codec->encodeErrorEnvelope(FlutterError{
                    kFlutterEncodingErrorCode,
                    std::string("The answer could not be encoded: ") + error.what(), nullptr}));
              }
            },
            "'" + call.method + "' on channel '" + name + "'");
        handler(std::move(call), std::move(result));
      });
}

namespace {

// The call's bytes; nullopt, after the fault is reported, when its arguments cannot be encoded.
FlutterBinaryMessage encodeCall(const FlutterMethodCodec& codec, const std::string& channel,
                                FlutterMethodCall call, std::string& failure) {
  try {
    return codec.encodeMethodCall(call);
  } catch (const FlutterCodecError& error) {
    failure = error.what();
    flutter::reportFault("Call of '" + call.method + "' on '" + channel +
                         "' could not be encoded: " + failure);
    return std::nullopt;
  }
}

}  // namespace

void FlutterMethodChannel::invokeMethod(const std::string& method, flutter::Value arguments) {
  if (!messenger_) return;
  std::string failure;
  auto message = encodeCall(*codec_, name_, {method, std::move(arguments)}, failure);
  if (message) messenger_->sendOnChannel(name_, std::move(message));
}

void FlutterMethodChannel::invokeMethod(const std::string& method, flutter::Value arguments,
                                        std::function<void(FlutterMethodResponse)> callback) {
  if (!messenger_) return;
  std::string failure;
  auto message = encodeCall(*codec_, name_, {method, std::move(arguments)}, failure);
  if (!message) {
    if (callback) {
      callback(FlutterError{kFlutterEncodingErrorCode,
                            "The call could not be encoded: " + failure, nullptr});
    }
    return;
  }
  messenger_->sendOnChannel(
      name_, std::move(message),
      [codec = codec_, callback = std::move(callback)](FlutterBinaryMessage reply) {
        if (!callback) return;
        if (!reply || reply->empty()) {
          callback(FlutterMethodNotImplemented);
          return;
        }
        try {
          auto envelope = codec->decodeEnvelope(*reply);
          if (auto* error = std::get_if<FlutterError>(&envelope)) {
            callback(std::move(*error));
          } else {
            callback(std::move(std::get<flutter::Value>(envelope)));
          }
        } catch (const FlutterCodecError& error) {
          callback(FlutterError{kFlutterMalformedMessageCode,
                                std::string("Undecodable reply: ") + error.what(), nullptr});
        }
      });
}
