#include "plugins/movie_player_avfoundation/messages.g.h"

#include <functional>
#include <utility>
#include <vector>

#include "platform/flutter/flutter_basic_message_channel.h"
#include "platform/flutter/flutter_message_envelope.h"
#include "plugins/movie_player_avfoundation/message_arguments.h"

namespace movie_player_avfoundation {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

constexpr uint8_t kPlatformVideoViewCreationParamsType = 129;
constexpr uint8_t kCreationOptionsType = 130;
constexpr uint8_t kTexturePlayerIdsType = 131;

[[noreturn]] void malformed(const char* record) {
  throw FlutterCodecError(std::string(record) + ": the list does not hold its fields");
}

int64_t integerField(const ValueList& list, size_t index, const char* record) {
  if (index >= list.size()) malformed(record);
  auto integer = list[index].asInteger();
  if (!integer) malformed(record);
  return *integer;
}

}  // namespace

// PlatformVideoViewCreationParams.

ValueList PlatformVideoViewCreationParams::toList() const { return ValueList{Value(playerId)}; }

PlatformVideoViewCreationParams PlatformVideoViewCreationParams::fromList(const ValueList& list) {
  return PlatformVideoViewCreationParams(integerField(list, 0, kTypeName));
}

std::string PlatformVideoViewCreationParams::description() const {
  return "PlatformVideoViewCreationParams(playerId: " + std::to_string(playerId) + ")";
}

bool PlatformVideoViewCreationParams::equals(const flutter::CustomValue& other) const {
  return flutter::recordEquals(*this, other);
}

uint64_t PlatformVideoViewCreationParams::messageHash() const {
  return flutter::recordHash(kTypeName, toList());
}

// CreationOptions.

ValueList CreationOptions::toList() const {
  ValueMap headers;
  for (const auto& [name, value] : httpHeaders) headers.append(Value(name), Value(value));
  return ValueList{Value(uri), Value(std::move(headers))};
}

CreationOptions CreationOptions::fromList(const ValueList& list) {
  if (list.size() < 2) malformed(kTypeName);
  const auto* uri = list[0].asString();
  const auto* headers = list[1].asMap();
  if (uri == nullptr || headers == nullptr) malformed(kTypeName);
  CreationOptions options(*uri, {});
  for (const auto& [name, value] : *headers) {
    if (!name.asString() || !value.asString()) malformed(kTypeName);
    options.httpHeaders[*name.asString()] = *value.asString();
  }
  return options;
}

std::string CreationOptions::description() const {
  return "CreationOptions(uri: " + uri + ", httpHeaders: " + toList()[1].debugString() + ")";
}

bool CreationOptions::equals(const flutter::CustomValue& other) const {
  return flutter::recordEquals(*this, other);
}

uint64_t CreationOptions::messageHash() const { return flutter::recordHash(kTypeName, toList()); }

// TexturePlayerIds.

ValueList TexturePlayerIds::toList() const { return ValueList{Value(playerId), Value(textureId)}; }

TexturePlayerIds TexturePlayerIds::fromList(const ValueList& list) {
  return TexturePlayerIds(integerField(list, 0, kTypeName), integerField(list, 1, kTypeName));
}

std::string TexturePlayerIds::description() const {
  return "TexturePlayerIds(playerId: " + std::to_string(playerId) +
         ", textureId: " + std::to_string(textureId) + ")";
}

bool TexturePlayerIds::equals(const flutter::CustomValue& other) const {
  return flutter::recordEquals(*this, other);
}

uint64_t TexturePlayerIds::messageHash() const { return flutter::recordHash(kTypeName, toList()); }

// The codec.

bool VideoPlayerPluginMessagesRecords::holds(uint8_t type) {
  return type >= kPlatformVideoViewCreationParamsType && type <= kTexturePlayerIdsType;
}

Value VideoPlayerPluginMessagesRecords::read(uint8_t type, const Value& fields) {
  const ValueList* list = fields.asList();
  if (list == nullptr) throw FlutterCodecError("a record must be written as a list");
  switch (type) {
    case kPlatformVideoViewCreationParamsType:
      return Value(std::make_shared<const PlatformVideoViewCreationParams>(
          PlatformVideoViewCreationParams::fromList(*list)));
    case kCreationOptionsType:
      return Value(std::make_shared<const CreationOptions>(CreationOptions::fromList(*list)));
    default:
      return Value(std::make_shared<const TexturePlayerIds>(TexturePlayerIds::fromList(*list)));
  }
}

std::optional<std::pair<uint8_t, ValueList>> VideoPlayerPluginMessagesRecords::write(
    const Value& value) {
  if (auto params = value.asCustom<PlatformVideoViewCreationParams>()) {
    return std::pair{kPlatformVideoViewCreationParamsType, params->toList()};
  }
  if (auto options = value.asCustom<CreationOptions>()) {
    return std::pair{kCreationOptionsType, options->toList()};
  }
  if (auto ids = value.asCustom<TexturePlayerIds>()) {
    return std::pair{kTexturePlayerIdsType, ids->toList()};
  }
  return std::nullopt;
}

const std::shared_ptr<const FlutterStandardMessageCodec>& VideoPlayerPluginMessagesPigeonCodec() {
  return flutter::sharedPigeonCodec<VideoPlayerPluginMessagesPigeonCodecReader,
                                    VideoPlayerPluginMessagesPigeonCodecWriter>();
}

// Set-up.

namespace {

using Api = AVFoundationVideoPlayerApi;
// Answers the reply list for a decoded message.
using Handler = std::function<ValueList(Api& api, const Value& message)>;

template <typename T>
ValueList replyOf(PigeonResult<T> result, const std::function<Value(T&)>& toValue) {
  if (auto* error = std::get_if<PigeonError>(&result)) return flutter::wrapError(*error);
  return flutter::wrapResult(toValue(std::get<T>(result)));
}

ValueList create(Api& api, const Value& message, const char* operation, bool texture) {
  auto list = argumentList(message, 1, operation);
  if (auto* error = std::get_if<FlutterError>(&list)) return flutter::wrapError(*error);
  auto options = recordArgument<CreationOptions>(*std::get<0>(list), 0);
  if (auto* error = std::get_if<FlutterError>(&options)) return flutter::wrapError(*error);
  const auto& record = *std::get<0>(options);
  if (texture) {
    return replyOf<TexturePlayerIds>(api.createForTextureView(record), [](TexturePlayerIds& ids) {
      return Value(std::make_shared<const TexturePlayerIds>(ids));
    });
  }
  return replyOf<int64_t>(api.createForPlatformView(record),
                          [](int64_t& id) { return Value(id); });
}

ValueList setMixWithOthers(Api& api, const Value& message) {
  auto list = argumentList(message, 1, "setMixWithOthers");
  if (auto* error = std::get_if<FlutterError>(&list)) return flutter::wrapError(*error);
  auto mix = boolArgument(*std::get<0>(list), 0);
  if (auto* error = std::get_if<FlutterError>(&mix)) return flutter::wrapError(*error);
  api.setMixWithOthers(std::get<bool>(mix));
  return flutter::wrapResult(Value());
}

ValueList getAssetUrl(Api& api, const Value& message) {
  auto list = argumentList(message, 2, "getAssetUrl");
  if (auto* error = std::get_if<FlutterError>(&list)) return flutter::wrapError(*error);
  const auto& arguments = *std::get<0>(list);
  const auto* asset = arguments[0].asString();
  if (asset == nullptr) {
    return flutter::wrapError(
        FlutterError{"invalid-argument", "argument 0 must be the asset name", nullptr});
  }
  auto package = optionalStringArgument(arguments, 1);
  if (auto* error = std::get_if<FlutterError>(&package)) return flutter::wrapError(*error);
  auto url = api.getAssetUrl(*asset, std::get<0>(package));
  return flutter::wrapResult(url ? Value(*url) : Value());
}

const std::vector<std::pair<const char*, Handler>>& handlers() {
  static const std::vector<std::pair<const char*, Handler>> table = {
      {"initialize",
       [](Api& api, const Value&) {
         api.initialize();
         return flutter::wrapResult(Value());
       }},
      {"createForPlatformView",
       [](Api& api, const Value& message) {
         return create(api, message, "createForPlatformView", false);
       }},
      {"createForTextureView",
       [](Api& api, const Value& message) {
         return create(api, message, "createForTextureView", true);
       }},
      {"setMixWithOthers", setMixWithOthers},
      {"getAssetUrl", getAssetUrl},
  };
  return table;
}

}  // namespace

void AVFoundationVideoPlayerApiSetup::setUp(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                                            const std::shared_ptr<AVFoundationVideoPlayerApi>& api,
                                            const std::string& messageChannelSuffix) {
  for (const auto& [operation, handler] : handlers()) {
    FlutterBasicMessageChannel channel(
        flutter::pigeonChannelName("movie_player_avfoundation", "AVFoundationVideoPlayerApi",
                                   operation, messageChannelSuffix),
        messenger, VideoPlayerPluginMessagesPigeonCodec());
    if (!api) {
      channel.setMessageHandler(nullptr);
      continue;
    }
    channel.setMessageHandler([api, handler = handler](const Value& message, FlutterReply reply) {
      reply(Value(handler(*api, message)));
    });
  }
}

}  // namespace movie_player_avfoundation
