#include "plugins/movie_player_avfoundation/video_player_instance_messages.g.h"

#include <functional>
#include <sstream>
#include <utility>

#include "platform/flutter/flutter_basic_message_channel.h"
#include "platform/flutter/flutter_message_envelope.h"
#include "plugins/movie_player_avfoundation/message_arguments.h"

namespace movie_player_avfoundation {
namespace {

using flutter::Value;
using flutter::ValueList;

constexpr uint8_t kAudioTrackType = 129;
constexpr uint8_t kMediaSelectionVideoTrackType = 130;
constexpr uint8_t kAssetVideoTrackType = 131;
constexpr uint8_t kNativeVideoTrackType = 132;

// Reads the fields of one record, raising FlutterCodecError on a wrong shape or type.
class FieldReader {
 public:
  FieldReader(const ValueList& list, size_t count, const char* record) : list_(list), record_(record) {
    if (list.size() < count) fail();
  }
  int64_t integer(size_t index) const {
    auto value = list_[index].asInteger();
    if (!value) fail();
    return *value;
  }
  bool flag(size_t index) const {
    if (!list_[index].is<bool>()) fail();
    return list_[index].get<bool>();
  }
  std::optional<std::string> text(size_t index) const {
    if (list_[index].isNull()) return std::nullopt;
    if (const auto* value = list_[index].asString()) return *value;
    fail();
  }
  std::optional<int64_t> optionalInteger(size_t index) const {
    if (list_[index].isNull()) return std::nullopt;
    return integer(index);
  }
  std::optional<double> optionalDouble(size_t index) const {
    if (list_[index].isNull()) return std::nullopt;
    if (!list_[index].is<double>()) fail();
    return list_[index].get<double>();
  }
  template <typename Record>
  std::optional<std::vector<Record>> records(size_t index) const {
    if (list_[index].isNull()) return std::nullopt;
    const auto* items = list_[index].asList();
    if (items == nullptr) fail();
    std::vector<Record> result;
    for (const auto& item : *items) {
      auto record = item.asCustom<Record>();
      if (!record) fail();
      result.push_back(*record);
    }
    return result;
  }

 private:
  [[noreturn]] void fail() const {
    throw FlutterCodecError(std::string(record_) + ": the list does not hold its fields");
  }
  const ValueList& list_;
  const char* record_;
};

template <typename T>
Value optional(const std::optional<T>& value) {
  return value ? Value(*value) : Value();
}

template <typename Record>
Value optionalRecords(const std::optional<std::vector<Record>>& records) {
  if (!records) return Value();
  ValueList list;
  for (const auto& record : *records) list.emplace_back(std::make_shared<const Record>(record));
  return Value(std::move(list));
}

// The text of an optional field as the platform's format "%@" writes it.
template <typename T>
std::string text(const std::optional<T>& value) {
  if (!value) return "(null)";
  std::ostringstream out;
  out << *value;
  return out.str();
}

const char* text(bool flag) { return flag ? "true" : "false"; }

template <typename Record>
std::string listText(const std::optional<std::vector<Record>>& records) {
  if (!records) return "(null)";
  std::string out = "(";
  for (size_t i = 0; i < records->size(); ++i) {
    out += (i == 0 ? "" : ", ") + (*records)[i].description();
  }
  return out + ")";
}

}  // namespace

// HVPMediaSelectionAudioTrackData.

ValueList HVPMediaSelectionAudioTrackData::toList() const {
  return ValueList{Value(index), optional(displayName), optional(languageCode), Value(isSelected),
                   optional(commonMetadataTitle)};
}

HVPMediaSelectionAudioTrackData HVPMediaSelectionAudioTrackData::fromList(const ValueList& list) {
  FieldReader fields(list, 5, kTypeName);
  HVPMediaSelectionAudioTrackData record;
  record.index = fields.integer(0);
  record.displayName = fields.text(1);
  record.languageCode = fields.text(2);
  record.isSelected = fields.flag(3);
  record.commonMetadataTitle = fields.text(4);
  return record;
}

std::string HVPMediaSelectionAudioTrackData::description() const {
  return "HVPMediaSelectionAudioTrackData(index: " + std::to_string(index) +
         ", displayName: " + text(displayName) + ", languageCode: " + text(languageCode) +
         ", isSelected: " + text(isSelected) +
         ", commonMetadataTitle: " + text(commonMetadataTitle) + ")";
}

bool HVPMediaSelectionAudioTrackData::equals(const flutter::CustomValue& other) const {
  return flutter::recordEquals(*this, other);
}

uint64_t HVPMediaSelectionAudioTrackData::messageHash() const {
  return flutter::recordHash(kTypeName, toList());
}

// HVPMediaSelectionVideoTrackData.

ValueList HVPMediaSelectionVideoTrackData::toList() const {
  return ValueList{Value(variantIndex), optional(label),     optional(bitrate),
                   optional(width),     optional(height),    optional(frameRate),
                   optional(codec),     Value(isSelected)};
}

HVPMediaSelectionVideoTrackData HVPMediaSelectionVideoTrackData::fromList(const ValueList& list) {
  FieldReader fields(list, 8, kTypeName);
  HVPMediaSelectionVideoTrackData record;
  record.variantIndex = fields.integer(0);
  record.label = fields.text(1);
  record.bitrate = fields.optionalInteger(2);
  record.width = fields.optionalInteger(3);
  record.height = fields.optionalInteger(4);
  record.frameRate = fields.optionalDouble(5);
  record.codec = fields.text(6);
  record.isSelected = fields.flag(7);
  return record;
}

std::string HVPMediaSelectionVideoTrackData::description() const {
  return "HVPMediaSelectionVideoTrackData(variantIndex: " + std::to_string(variantIndex) +
         ", label: " + text(label) + ", bitrate: " + text(bitrate) + ", width: " + text(width) +
         ", height: " + text(height) + ", frameRate: " + text(frameRate) +
         ", codec: " + text(codec) + ", isSelected: " + text(isSelected) + ")";
}

bool HVPMediaSelectionVideoTrackData::equals(const flutter::CustomValue& other) const {
  return flutter::recordEquals(*this, other);
}

uint64_t HVPMediaSelectionVideoTrackData::messageHash() const {
  return flutter::recordHash(kTypeName, toList());
}

// HVPAssetVideoTrackData.

ValueList HVPAssetVideoTrackData::toList() const {
  return ValueList{Value(trackId),     optional(label), optional(width),  optional(height),
                   optional(frameRate), optional(codec), Value(isSelected)};
}

HVPAssetVideoTrackData HVPAssetVideoTrackData::fromList(const ValueList& list) {
  FieldReader fields(list, 7, kTypeName);
  HVPAssetVideoTrackData record;
  record.trackId = fields.integer(0);
  record.label = fields.text(1);
  record.width = fields.optionalInteger(2);
  record.height = fields.optionalInteger(3);
  record.frameRate = fields.optionalDouble(4);
  record.codec = fields.text(5);
  record.isSelected = fields.flag(6);
  return record;
}

std::string HVPAssetVideoTrackData::description() const {
  return "HVPAssetVideoTrackData(trackId: " + std::to_string(trackId) + ", label: " + text(label) +
         ", width: " + text(width) + ", height: " + text(height) +
         ", frameRate: " + text(frameRate) + ", codec: " + text(codec) +
         ", isSelected: " + text(isSelected) + ")";
}

bool HVPAssetVideoTrackData::equals(const flutter::CustomValue& other) const {
  return flutter::recordEquals(*this, other);
}

uint64_t HVPAssetVideoTrackData::messageHash() const {
  return flutter::recordHash(kTypeName, toList());
}

// HVPNativeVideoTrackData.

ValueList HVPNativeVideoTrackData::toList() const {
  return ValueList{optionalRecords(assetTracks), optionalRecords(mediaSelectionTracks)};
}

HVPNativeVideoTrackData HVPNativeVideoTrackData::fromList(const ValueList& list) {
  FieldReader fields(list, 2, kTypeName);
  HVPNativeVideoTrackData record;
  record.assetTracks = fields.records<HVPAssetVideoTrackData>(0);
  record.mediaSelectionTracks = fields.records<HVPMediaSelectionVideoTrackData>(1);
  return record;
}

std::string HVPNativeVideoTrackData::description() const {
  return "HVPNativeVideoTrackData(assetTracks: " + listText(assetTracks) +
         ", mediaSelectionTracks: " + listText(mediaSelectionTracks) + ")";
}

bool HVPNativeVideoTrackData::equals(const flutter::CustomValue& other) const {
  return flutter::recordEquals(*this, other);
}

uint64_t HVPNativeVideoTrackData::messageHash() const {
  return flutter::recordHash(kTypeName, toList());
}

// The codec.

bool HVPVideoPlayerInstanceMessagesRecords::holds(uint8_t type) {
  return type >= kAudioTrackType && type <= kNativeVideoTrackType;
}

Value HVPVideoPlayerInstanceMessagesRecords::read(uint8_t type, const Value& fields) {
  const ValueList* list = fields.asList();
  if (list == nullptr) throw FlutterCodecError("a record must be written as a list");
  switch (type) {
    case kAudioTrackType:
      return Value(std::make_shared<const HVPMediaSelectionAudioTrackData>(
          HVPMediaSelectionAudioTrackData::fromList(*list)));
    case kMediaSelectionVideoTrackType:
      return Value(std::make_shared<const HVPMediaSelectionVideoTrackData>(
          HVPMediaSelectionVideoTrackData::fromList(*list)));
    case kAssetVideoTrackType:
      return Value(
          std::make_shared<const HVPAssetVideoTrackData>(HVPAssetVideoTrackData::fromList(*list)));
    default:
      return Value(
          std::make_shared<const HVPNativeVideoTrackData>(HVPNativeVideoTrackData::fromList(*list)));
  }
}

std::optional<std::pair<uint8_t, ValueList>> HVPVideoPlayerInstanceMessagesRecords::write(
    const Value& value) {
  if (auto audio = value.asCustom<HVPMediaSelectionAudioTrackData>()) {
    return std::pair{kAudioTrackType, audio->toList()};
  }
  if (auto variant = value.asCustom<HVPMediaSelectionVideoTrackData>()) {
    return std::pair{kMediaSelectionVideoTrackType, variant->toList()};
  }
  if (auto track = value.asCustom<HVPAssetVideoTrackData>()) {
    return std::pair{kAssetVideoTrackType, track->toList()};
  }
  if (auto tracks = value.asCustom<HVPNativeVideoTrackData>()) {
    return std::pair{kNativeVideoTrackType, tracks->toList()};
  }
  return std::nullopt;
}

const std::shared_ptr<const FlutterStandardMessageCodec>& HVPVideoPlayerInstanceMessagesPigeonCodec() {
  return flutter::sharedPigeonCodec<HVPVideoPlayerInstanceMessagesPigeonCodecReader,
                                    HVPVideoPlayerInstanceMessagesPigeonCodecWriter>();
}

// Set-up.

namespace {

using Api = HVPVideoPlayerInstanceApi;
using Handler = std::function<void(Api& api, const ValueList& arguments, const FlutterReply& reply)>;

struct Operation {
  const char* name;
  size_t argumentCount;
  Handler handler;
};

void replyStatus(const FlutterReply& reply, const Api::Status& status) {
  reply(Value(status ? flutter::wrapError(*status) : flutter::wrapResult(Value())));
}

// An operation taking one argument of type T, read by `read`.
template <typename T>
Handler withArgument(ArgumentOr<T> (*read)(const ValueList&, size_t), Api::Status (Api::*call)(T)) {
  return [read, call](Api& api, const ValueList& arguments, const FlutterReply& reply) {
    auto argument = read(arguments, 0);
    if (auto* error = std::get_if<FlutterError>(&argument)) {
      reply(Value(flutter::wrapError(*error)));
      return;
    }
    replyStatus(reply, (api.*call)(std::get<T>(argument)));
  };
}

Handler withoutArgument(Api::Status (Api::*call)()) {
  return [call](Api& api, const ValueList&, const FlutterReply& reply) {
    replyStatus(reply, (api.*call)());
  };
}

void seekTo(Api& api, const ValueList& arguments, const FlutterReply& reply) {
  auto position = integerArgument(arguments, 0);
  if (auto* error = std::get_if<FlutterError>(&position)) {
    reply(Value(flutter::wrapError(*error)));
    return;
  }
  api.seekTo(std::get<int64_t>(position), [reply](Api::Status status) { replyStatus(reply, status); });
}

void getAudioTracks(Api& api, const ValueList&, const FlutterReply& reply) {
  ValueList tracks;
  for (auto& track : api.getAudioTracks()) {
    tracks.emplace_back(std::make_shared<const HVPMediaSelectionAudioTrackData>(std::move(track)));
  }
  reply(Value(flutter::wrapResult(Value(std::move(tracks)))));
}

void getVideoTracks(Api& api, const ValueList&, const FlutterReply& reply) {
  api.getVideoTracks([reply](std::optional<HVPNativeVideoTrackData> data, Api::Status status) {
    if (status) {
      reply(Value(flutter::wrapError(*status)));
    } else {
      reply(Value(flutter::wrapResult(
          data ? Value(std::make_shared<const HVPNativeVideoTrackData>(std::move(*data))) : Value())));
    }
  });
}

const std::vector<Operation>& operations() {
  static const std::vector<Operation> table = {
      {"setLooping", 1, withArgument<bool>(boolArgument, &Api::setLooping)},
      {"setVolume", 1, withArgument<double>(doubleArgument, &Api::setVolume)},
      {"setPlaybackSpeed", 1, withArgument<double>(doubleArgument, &Api::setPlaybackSpeed)},
      {"play", 0, withoutArgument(&Api::play)},
      {"getPosition", 0,
       [](Api& api, const ValueList&, const FlutterReply& reply) {
         reply(Value(flutter::wrapResult(Value(api.position()))));
       }},
      {"seekTo", 1, seekTo},
      {"pause", 0, withoutArgument(&Api::pause)},
      {"dispose", 0, withoutArgument(&Api::dispose)},
      {"getAudioTracks", 0, getAudioTracks},
      {"selectAudioTrack", 1, withArgument<int64_t>(integerArgument, &Api::selectAudioTrackAtIndex)},
      {"getVideoTracks", 0, getVideoTracks},
      {"selectVideoTrack", 1,
       withArgument<int64_t>(integerArgument, &Api::selectVideoTrackWithBitrate)},
      {"setPreventsDisplaySleepDuringVideoPlayback", 1,
       withArgument<bool>(boolArgument, &Api::setPreventsDisplaySleepDuringVideoPlayback)},
  };
  return table;
}

}  // namespace

void SetUpHVPVideoPlayerInstanceApiWithSuffix(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                                              const std::shared_ptr<HVPVideoPlayerInstanceApi>& api,
                                              const std::string& messageChannelSuffix) {
  for (const auto& operation : operations()) {
    FlutterBasicMessageChannel channel(
        flutter::pigeonChannelName("movie_player_avfoundation", "VideoPlayerInstanceApi",
                                   operation.name, messageChannelSuffix),
        messenger, HVPVideoPlayerInstanceMessagesPigeonCodec());
    if (!api) {
      channel.setMessageHandler(nullptr);
      continue;
    }
    channel.setMessageHandler([api, &operation](const Value& message, FlutterReply reply) {
      // Operations without arguments do not read the message.
      static const ValueList kNoArguments;
      const ValueList* arguments = &kNoArguments;
      if (operation.argumentCount > 0) {
        auto list = argumentList(message, operation.argumentCount, operation.name);
        if (auto* error = std::get_if<FlutterError>(&list)) {
          reply(Value(flutter::wrapError(*error)));
          return;
        }
        arguments = std::get<0>(list);
      }
      operation.handler(*api, *arguments, reply);
    });
  }
}

}  // namespace movie_player_avfoundation
