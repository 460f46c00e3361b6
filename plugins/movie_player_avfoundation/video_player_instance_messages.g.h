// The per-player message-channel layer of the video player: the track records (types 129 to 132)
// with the codec that carries them, the operations every player answers, and the set-up of
// "dev.flutter.pigeon.movie_player_avfoundation.VideoPlayerInstanceApi.<operation>[.<suffix>]".
// Replies are one-element lists, or [code, message, details] for a FlutterError.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_codec.h"
#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/generated_message_support.h"

namespace movie_player_avfoundation {

// The records are the codec's custom values: wrap one in a Value with std::make_shared.
struct HVPMediaSelectionAudioTrackData : flutter::CustomValue {
  static constexpr const char* kTypeName = "HVPMediaSelectionAudioTrackData";
  int64_t index = 0;
  std::optional<std::string> displayName;
  std::optional<std::string> languageCode;
  bool isSelected = false;
  std::optional<std::string> commonMetadataTitle;

  flutter::ValueList toList() const;
  // Raises FlutterCodecError for a list of the wrong shape or types.
  static HVPMediaSelectionAudioTrackData fromList(const flutter::ValueList& list);
  std::string description() const;
  std::string typeName() const override { return kTypeName; }
  bool equals(const flutter::CustomValue& other) const override;
  uint64_t messageHash() const override;
};

struct HVPMediaSelectionVideoTrackData : flutter::CustomValue {
  static constexpr const char* kTypeName = "HVPMediaSelectionVideoTrackData";
  int64_t variantIndex = 0;
  std::optional<std::string> label;
  std::optional<int64_t> bitrate;
  std::optional<int64_t> width;
  std::optional<int64_t> height;
  std::optional<double> frameRate;
  std::optional<std::string> codec;
  bool isSelected = false;

  flutter::ValueList toList() const;
  static HVPMediaSelectionVideoTrackData fromList(const flutter::ValueList& list);
  std::string description() const;
  std::string typeName() const override { return kTypeName; }
  bool equals(const flutter::CustomValue& other) const override;
  uint64_t messageHash() const override;
};

struct HVPAssetVideoTrackData : flutter::CustomValue {
  static constexpr const char* kTypeName = "HVPAssetVideoTrackData";
  int64_t trackId = 0;
  std::optional<std::string> label;
  std::optional<int64_t> width;
  std::optional<int64_t> height;
  std::optional<double> frameRate;
  std::optional<std::string> codec;
  bool isSelected = false;

  flutter::ValueList toList() const;
  static HVPAssetVideoTrackData fromList(const flutter::ValueList& list);
  std::string description() const;
  std::string typeName() const override { return kTypeName; }
  bool equals(const flutter::CustomValue& other) const override;
  uint64_t messageHash() const override;
};

struct HVPNativeVideoTrackData : flutter::CustomValue {
  static constexpr const char* kTypeName = "HVPNativeVideoTrackData";
  std::optional<std::vector<HVPAssetVideoTrackData>> assetTracks;
  std::optional<std::vector<HVPMediaSelectionVideoTrackData>> mediaSelectionTracks;

  flutter::ValueList toList() const;
  static HVPNativeVideoTrackData fromList(const flutter::ValueList& list);
  std::string description() const;
  std::string typeName() const override { return kTypeName; }
  bool equals(const flutter::CustomValue& other) const override;
  uint64_t messageHash() const override;
};

// The four track records, as the shared codec plumbing reads and writes them.
struct HVPVideoPlayerInstanceMessagesRecords {
  static bool holds(uint8_t type);
  // Raises FlutterCodecError for fields that are not the record's list.
  static flutter::Value read(uint8_t type, const flutter::Value& fields);
  static std::optional<std::pair<uint8_t, flutter::ValueList>> write(const flutter::Value& value);
};

using HVPVideoPlayerInstanceMessagesPigeonCodecReader =
    flutter::PigeonCodecReader<HVPVideoPlayerInstanceMessagesRecords>;
using HVPVideoPlayerInstanceMessagesPigeonCodecWriter =
    flutter::PigeonCodecWriter<HVPVideoPlayerInstanceMessagesRecords>;

// The one codec that every player's channels use.
const std::shared_ptr<const FlutterStandardMessageCodec>& HVPVideoPlayerInstanceMessagesPigeonCodec();

// What a player answers. An operation returning an error replies [code, message, details].
class HVPVideoPlayerInstanceApi {
 public:
  using Status = std::optional<FlutterError>;
  virtual ~HVPVideoPlayerInstanceApi() = default;
  virtual Status setLooping(bool looping) = 0;
  virtual Status setVolume(double volume) = 0;
  virtual Status setPlaybackSpeed(double speed) = 0;
  virtual Status play() = 0;
  virtual int64_t position() = 0;
  virtual void seekTo(int64_t position, std::function<void(Status)> completion) = 0;
  virtual Status pause() = 0;
  virtual Status dispose() = 0;
  virtual std::vector<HVPMediaSelectionAudioTrackData> getAudioTracks() = 0;
  virtual Status selectAudioTrackAtIndex(int64_t index) = 0;
  virtual void getVideoTracks(
      std::function<void(std::optional<HVPNativeVideoTrackData>, Status)> completion) = 0;
  virtual Status selectVideoTrackWithBitrate(int64_t bitrate) = 0;
  virtual Status setPreventsDisplaySleepDuringVideoPlayback(bool prevents) = 0;
};

// Installs the thirteen handlers (each keeping `api` alive), or removes them when `api` is null.
void SetUpHVPVideoPlayerInstanceApiWithSuffix(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                                              const std::shared_ptr<HVPVideoPlayerInstanceApi>& api,
                                              const std::string& messageChannelSuffix);

}  // namespace movie_player_avfoundation
