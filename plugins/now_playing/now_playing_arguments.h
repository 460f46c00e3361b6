// Reads the Dart side's arguments into the bridge's records. A missing entry or a null reads as
// none; an entry of the wrong type is an error, of which the first is kept as a ready answer.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/flutter/argument_reader.h"
#include "platform/flutter/flutter_codec.h"
#include "plugins/now_playing/remote_command_table.h"

namespace now_playing {

inline constexpr const char* kBadArgumentsCode = "bad_arguments";

// From "configure": milliseconds.
struct SkipIntervals {
  std::optional<int64_t> fastForward;
  std::optional<int64_t> rewind;
};

// From "setState".
struct PlaybackState {
  std::bitset<kActionCount> actions;
  bool playing = false;
  int64_t position = 0;  // milliseconds
  std::optional<double> speed;
};

// From "setMediaItem": the entries the bridge publishes.
struct MediaItem {
  std::optional<std::string> title;
  std::optional<std::string> album;
  std::optional<std::string> artist;
  double duration = 0;  // milliseconds
  std::optional<bool> isLive;
  // The cached art to show, when the item has art.
  std::optional<std::string> artworkFile;
};

class NowPlayingArguments {
 public:
  // `arguments` must outlive the reader.
  explicit NowPlayingArguments(const flutter::Value& arguments);

  SkipIntervals intervals();
  PlaybackState playbackState();
  // nullopt for no media item.
  std::optional<MediaItem> mediaItem();

  // The answer for the first bad entry read, if any.
  const std::optional<FlutterError>& error() const { return errors_.first(); }

 private:
  // Each reads the entry under `key` of `map`: nothing when it is missing or null, and nothing
  // after keeping the error when it is of another type.
  const flutter::ValueMap* mapEntry(const flutter::ArgumentReader& map, std::string_view key);
  const flutter::ValueList* listEntry(const flutter::ArgumentReader& map, std::string_view key);
  std::optional<bool> boolEntry(const flutter::ArgumentReader& map, std::string_view key);
  std::optional<double> numberEntry(const flutter::ArgumentReader& map, std::string_view key);
  std::optional<int64_t> millisecondsEntry(const flutter::ArgumentReader& map,
                                           std::string_view key);
  std::optional<std::string> stringEntry(const flutter::ArgumentReader& map, std::string_view key);
  // Sets the bit of an action number; numbers without a command are ignored.
  void addAction(const flutter::Value& number, std::bitset<kActionCount>& actions);

  const flutter::ArgumentReader arguments_;
  flutter::ArgumentErrors errors_;
};

}  // namespace now_playing
