// The plug-in-level message-channel layer of the video player: the records that the create
// operations take and answer (types 129 to 131) with the codec that carries them, the error
// record, the API contract and the set-up of
// "dev.flutter.pigeon.movie_player_avfoundation.AVFoundationVideoPlayerApi.<operation>[.<suffix>]".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_codec.h"
#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/generated_message_support.h"

namespace movie_player_avfoundation {

using flutter::PigeonError;

// The records are the codec's custom values: wrap one in a Value with std::make_shared.
struct PlatformVideoViewCreationParams : flutter::CustomValue {
  static constexpr const char* kTypeName = "PlatformVideoViewCreationParams";
  int64_t playerId = 0;

  PlatformVideoViewCreationParams() = default;
  explicit PlatformVideoViewCreationParams(int64_t playerId) : playerId(playerId) {}
  flutter::ValueList toList() const;
  // Raises FlutterCodecError for a list of the wrong shape or types.
  static PlatformVideoViewCreationParams fromList(const flutter::ValueList& list);
  std::string description() const;
  std::string typeName() const override { return kTypeName; }
  bool equals(const flutter::CustomValue& other) const override;
  uint64_t messageHash() const override;
};

struct CreationOptions : flutter::CustomValue {
  static constexpr const char* kTypeName = "CreationOptions";
  std::string uri;
  std::map<std::string, std::string> httpHeaders;

  CreationOptions() = default;
  CreationOptions(std::string uri, std::map<std::string, std::string> httpHeaders)
      : uri(std::move(uri)), httpHeaders(std::move(httpHeaders)) {}
  flutter::ValueList toList() const;
  static CreationOptions fromList(const flutter::ValueList& list);
  std::string description() const;
  std::string typeName() const override { return kTypeName; }
  bool equals(const flutter::CustomValue& other) const override;
  uint64_t messageHash() const override;
};

struct TexturePlayerIds : flutter::CustomValue {
  static constexpr const char* kTypeName = "TexturePlayerIds";
  int64_t playerId = 0;
  int64_t textureId = 0;

  TexturePlayerIds() = default;
  TexturePlayerIds(int64_t playerId, int64_t textureId)
      : playerId(playerId), textureId(textureId) {}
  flutter::ValueList toList() const;
  static TexturePlayerIds fromList(const flutter::ValueList& list);
  std::string description() const;
  std::string typeName() const override { return kTypeName; }
  bool equals(const flutter::CustomValue& other) const override;
  uint64_t messageHash() const override;
};

// The three records, as the shared codec plumbing reads and writes them.
struct VideoPlayerPluginMessagesRecords {
  static bool holds(uint8_t type);
  // Raises FlutterCodecError for fields that are not the record's list.
  static flutter::Value read(uint8_t type, const flutter::Value& fields);
  static std::optional<std::pair<uint8_t, flutter::ValueList>> write(const flutter::Value& value);
};

using VideoPlayerPluginMessagesPigeonCodecReader =
    flutter::PigeonCodecReader<VideoPlayerPluginMessagesRecords>;
using VideoPlayerPluginMessagesPigeonCodecWriter =
    flutter::PigeonCodecWriter<VideoPlayerPluginMessagesRecords>;

// The one codec of this layer, shared with the platform-view factory.
const std::shared_ptr<const FlutterStandardMessageCodec>& VideoPlayerPluginMessagesPigeonCodec();

template <typename T>
using PigeonResult = std::variant<T, PigeonError>;

class AVFoundationVideoPlayerApi {
 public:
  virtual ~AVFoundationVideoPlayerApi() = default;
  virtual void initialize() = 0;
  virtual PigeonResult<int64_t> createForPlatformView(const CreationOptions& options) = 0;
  virtual PigeonResult<TexturePlayerIds> createForTextureView(const CreationOptions& options) = 0;
  virtual void setMixWithOthers(bool mixWithOthers) = 0;
  virtual std::optional<std::string> getAssetUrl(const std::string& asset,
                                                 const std::optional<std::string>& package) = 0;
};

class AVFoundationVideoPlayerApiSetup {
 public:
  // Installs the five handlers (keeping `api` alive), or removes them when `api` is null.
  static void setUp(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                    const std::shared_ptr<AVFoundationVideoPlayerApi>& api,
                    const std::string& messageChannelSuffix = "");
};

}  // namespace movie_player_avfoundation
