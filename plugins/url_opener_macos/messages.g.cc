#include "plugins/url_opener_macos/messages.g.h"

#include <cstring>
#include <functional>
#include <typeinfo>

#include "platform/flutter/flutter_basic_message_channel.h"
#include "platform/flutter/flutter_message_envelope.h"

namespace url_opener_macos {
namespace {

using flutter::Value;
using flutter::ValueList;

constexpr uint8_t kUrlOpenerErrorType = 129;
constexpr uint8_t kUrlOpenerBoolResultType = 130;
uint64_t hashOfString(const std::string& text) { return std::hash<std::string>()(text); }

}  // namespace

ValueList wrapError(const PigeonError& error) {
  return ValueList{Value(error.code), error.message ? Value(*error.message) : Value(), error.details};
}

ValueList wrapError(const FlutterError& error) { return flutter::wrapError(error); }

ValueList wrapError(const std::exception& error) { return flutter::wrapException(error); }

// UrlOpenerBoolResult.

ValueList UrlOpenerBoolResult::toList() const {
  return ValueList{value, error ? Value(std::make_shared<const UrlOpenerErrorValue>(*error))
                                : Value()};
}

UrlOpenerBoolResult UrlOpenerBoolResult::fromList(const ValueList& list) {
  if (list.size() < 2 || !list[0].is<bool>()) {
    throw FlutterCodecError("UrlOpenerBoolResult: expected [Boolean, error or nil]");
  }
  UrlOpenerBoolResult result{list[0].get<bool>(), std::nullopt};
  if (const Value* error = nilOrValue(&list[1])) {
    if (auto known = error->asCustom<UrlOpenerErrorValue>()) result.error = known->error();
  }
  return result;
}

std::string UrlOpenerBoolResult::description() const {
  return std::string("UrlOpenerBoolResult(value: ") + (value ? "true" : "false") +
         ", error: " + (error ? "Optional(url_opener_macos.UrlOpenerError.invalidUrl)" : "nil") +
         ")";
}

uint64_t UrlOpenerBoolResult::hash() const {
  Hasher hasher;
  hasher.combine(hashOfString("UrlOpenerBoolResult"));
  for (const auto& field : toList()) deepHash(field, hasher);
  return hasher.finalize();
}

bool operator==(const UrlOpenerBoolResult& a, const UrlOpenerBoolResult& b) {
  return deepEquals(Value(a.value), Value(b.value)) && a.error.has_value() == b.error.has_value();
}

std::optional<UrlOpenerError> urlOpenerErrorFromRawValue(int64_t rawValue) {
  if (rawValue == static_cast<int64_t>(UrlOpenerError::invalidUrl)) {
    return UrlOpenerError::invalidUrl;
  }
  return std::nullopt;
}

// The codec.

Value MessagesPigeonCodecReader::readValueOfType(uint8_t type) {
  if (type == kUrlOpenerErrorType) {
    Value raw = readValue();
    auto integer = raw.asInteger();
    auto error = integer ? urlOpenerErrorFromRawValue(*integer) : std::nullopt;
    if (!error) return Value();
    return Value(std::make_shared<const UrlOpenerErrorValue>(*error));
  }
  if (type == kUrlOpenerBoolResultType) {
    Value fields = readValue();
    const ValueList* list = fields.asList();
    if (list == nullptr) throw FlutterCodecError("a record must be written as a list");
    return Value(std::make_shared<const UrlOpenerBoolResultValue>(
        UrlOpenerBoolResult::fromList(*list)));
  }
  return FlutterStandardReader::readValueOfType(type);
}

void MessagesPigeonCodecWriter::writeValue(const Value& value) {
  if (auto error = value.asCustom<UrlOpenerErrorValue>()) {
    writeByte(kUrlOpenerErrorType);
    writeValue(Value(static_cast<int32_t>(error->error())));
  } else if (auto result = value.asCustom<UrlOpenerBoolResultValue>()) {
    writeByte(kUrlOpenerBoolResultType);
    writeValue(Value(result->record().toList()));
  } else {
    FlutterStandardWriter::writeValue(value);
  }
}

std::unique_ptr<FlutterStandardWriter> MessagesPigeonCodecReaderWriter::writerWithData(
    FlutterBytes& data) const {
  return std::make_unique<MessagesPigeonCodecWriter>(data);
}

std::unique_ptr<FlutterStandardReader> MessagesPigeonCodecReaderWriter::readerWithData(
    std::span<const uint8_t> data) const {
  return std::make_unique<MessagesPigeonCodecReader>(data);
}

const std::shared_ptr<const FlutterStandardMessageCodec>& MessagesPigeonCodec() {
  static const std::shared_ptr<const FlutterStandardMessageCodec> codec =
      std::make_shared<FlutterStandardMessageCodec>(
          std::make_shared<MessagesPigeonCodecReaderWriter>());
  return codec;
}

// Set-up.

namespace {

using Operation = ErrorOr<UrlOpenerBoolResult> (UrlOpenerApi::*)(const std::string& url);

void install(const std::shared_ptr<FlutterBinaryMessenger>& messenger, const std::string& name,
             const std::shared_ptr<UrlOpenerApi>& api, Operation operation,
             const char* operationName) {
  FlutterBasicMessageChannel channel(name, messenger, MessagesPigeonCodec());
  if (!api) {
    channel.setMessageHandler(nullptr);
    return;
  }
  channel.setMessageHandler([api, operation, operationName](const Value& message,
                                                            FlutterReply reply) {
    const ValueList* list = message.asList();
    const std::string* url = list != nullptr && !list->empty() ? (*list)[0].asString() : nullptr;
    if (url == nullptr) {
      reply(Value(wrapError(FlutterError{
          "invalid-argument",
          std::string(operationName) + " expects a list whose first element is the URL string",
          nullptr})));
      return;
    }
    auto outcome = ((*api).*operation)(*url);
    if (auto* error = std::get_if<PigeonError>(&outcome)) {
      reply(Value(wrapError(*error)));
    } else if (auto* error = std::get_if<FlutterError>(&outcome)) {
      reply(Value(wrapError(*error)));
    } else {
      reply(Value(flutter::wrapResult(Value(std::make_shared<const UrlOpenerBoolResultValue>(
          std::get<UrlOpenerBoolResult>(outcome))))));
    }
  });
}

}  // namespace

void UrlOpenerApiSetup::setUp(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                              std::shared_ptr<UrlOpenerApi> api,
                              const std::string& messageChannelSuffix) {
  const std::string suffix = messageChannelSuffix.empty() ? "" : "." + messageChannelSuffix;
  const std::string prefix = "dev.flutter.pigeon.url_opener_macos.UrlOpenerApi.";
  install(messenger, prefix + "canLaunchUrl" + suffix, api, &UrlOpenerApi::canLaunchUrl,
          "canLaunchUrl");
  install(messenger, prefix + "launchUrl" + suffix, api, &UrlOpenerApi::launchUrl, "launchUrl");
}

}  // namespace url_opener_macos
