#include "platform/flutter/flutter_basic_message_channel.h"

#include "platform/flutter/flutter_faults.h"
#include "platform/flutter/flutter_method_channel.h"

using flutter::Value;
using flutter::ValueList;

std::shared_ptr<FlutterBasicMessageChannel> FlutterBasicMessageChannel::messageChannelWithName(
    const std::string& name, std::shared_ptr<FlutterBinaryMessenger> messenger,
    std::shared_ptr<const FlutterMessageCodec> codec) {
  return std::make_shared<FlutterBasicMessageChannel>(name, std::move(messenger), std::move(codec));
}

FlutterBasicMessageChannel::FlutterBasicMessageChannel(
    std::string name, std::shared_ptr<FlutterBinaryMessenger> messenger,
    std::shared_ptr<const FlutterMessageCodec> codec)
    : name_(std::move(name)),
      messenger_(std::move(messenger)),
      codec_(codec ? std::move(codec) : FlutterStandardMessageCodec::sharedInstance()) {}

void FlutterBasicMessageChannel::setMessageHandler(FlutterMessageHandler handler) {
  if (!messenger_) return;
  if (!handler) {
    messenger_->setMessageHandlerOnChannel(name_, nullptr);
    return;
  }
  messenger_->setMessageHandlerOnChannel(
      name_, [codec = codec_, name = name_, handler = std::move(handler)](
                 FlutterBinaryMessage message, FlutterBinaryReply reply) {
        Value decoded;
        try {
          decoded = codec->decode(message ? std::span<const uint8_t>(*message)
                                          : std::span<const uint8_t>());
        } catch (const FlutterCodecError& error) {
          reply(codec->encode(ValueList{
              Value(kFlutterMalformedMessageCode),
              Value("Undecodable message on channel '" + name + "': " + error.what()), Value()}));
          return;
        }
        handler(decoded, [codec, reply, name](const Value& answer) {
          try {
            reply(codec->encode(answer));
          } catch (const FlutterCodecError& error) {
            flutter::reportFault("Reply on '" + name + "' could not be encoded: " + error.what());
            reply(codec->encode(ValueList{
                Value(kFlutterEncodingErrorCode),
                Value(std::string("The answer could not be encoded: ") + error.what()), Value()}));
          }
        });
      });
}

namespace {

// The message's bytes; nullopt, after the fault is reported, when it cannot be encoded.
FlutterBinaryMessage encodeMessage(const FlutterMessageCodec& codec, const std::string& channel,
                                   const Value& message) {
  try {
    return codec.encode(message);
  } catch (const FlutterCodecError& error) {
    flutter::reportFault("Message on '" + channel + "' could not be encoded: " + error.what());
    return std::nullopt;
  }
}

}  // namespace

void FlutterBasicMessageChannel::sendMessage(const Value& message) {
  if (!messenger_) return;
  auto bytes = encodeMessage(*codec_, name_, message);
  if (bytes) messenger_->sendOnChannel(name_, std::move(bytes));
}

void FlutterBasicMessageChannel::sendMessage(
    const Value& message, std::function<void(const std::optional<Value>& reply)> callback) {
  if (!messenger_) return;
  auto bytes = encodeMessage(*codec_, name_, message);
  if (!bytes) {
    // As for a Dart side that is not there: the caller's reply is "no reply".
    if (callback) callback(std::nullopt);
    return;
  }
  messenger_->sendOnChannel(
      name_, std::move(bytes),
      [codec = codec_, callback = std::move(callback)](FlutterBinaryMessage reply) {
        if (!callback) return;
        if (!reply) {
          callback(std::nullopt);
          return;
        }
        try {
          callback(codec->decode(*reply));
        } catch (const FlutterCodecError&) {
          callback(std::nullopt);
        }
      });
}
