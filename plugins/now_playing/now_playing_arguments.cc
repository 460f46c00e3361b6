#include "plugins/now_playing/now_playing_arguments.h"

#include <cmath>

namespace now_playing {

using flutter::ArgumentReader;
using flutter::Value;

NowPlayingArguments::NowPlayingArguments(const Value& arguments)
    : arguments_(arguments), errors_({.code = kBadArgumentsCode}) {
  if (!arguments.isNull() && !arguments_.isMap()) errors_.fail("The arguments must be a map");
}

SkipIntervals NowPlayingArguments::intervals() {
  const ArgumentReader config(mapEntry(arguments_, "config"));
  return SkipIntervals{millisecondsEntry(config, "fastForwardInterval"),
                       millisecondsEntry(config, "rewindInterval")};
}

PlaybackState NowPlayingArguments::playbackState() {
  const ArgumentReader state(mapEntry(arguments_, "state"));
  PlaybackState read;
  if (const auto* controls = listEntry(state, "controls")) {
    for (const Value& control : *controls) {
      if (control.asMap() == nullptr) {
        errors_.reject("controls", "a list of maps");
        continue;
      }
      const Value* action = ArgumentReader(control.asMap()).find("action");
      if (action == nullptr) {
        errors_.reject("action", "an integer");
        continue;
      }
      addAction(*action, read.actions);
    }
  }
  if (const auto* system_actions = listEntry(state, "systemActions")) {
    for (const Value& action : *system_actions) addAction(action, read.actions);
  }
  read.playing = boolEntry(state, "playing").value_or(false);
  read.position = millisecondsEntry(state, "updatePosition").value_or(0);
  read.speed = numberEntry(state, "speed");
  return read;
}

std::optional<MediaItem> NowPlayingArguments::mediaItem() {
  const flutter::ValueMap* item_map = mapEntry(arguments_, "mediaItem");
  if (item_map == nullptr) return std::nullopt;
  const ArgumentReader item(item_map);
  MediaItem read;
  read.title = stringEntry(item, "title");
  read.album = stringEntry(item, "album");
  read.artist = stringEntry(item, "artist");
  read.duration = numberEntry(item, "duration").value_or(0);
  read.isLive = boolEntry(item, "isLive");
  // Art is shown only for an item whose "artUri" is not null, from the file it was cached in.
  const Value* art_uri = item_map->find(std::string_view("artUri"));
  auto art_file = stringEntry(ArgumentReader(mapEntry(item, "extras")), "artCacheFile");
  if (art_uri == nullptr || !art_uri->isNull()) read.artworkFile = std::move(art_file);
  return read;
}

const flutter::ValueMap* NowPlayingArguments::mapEntry(const ArgumentReader& map,
                                                       std::string_view key) {
  return map.has(key) ? map.map(key, errors_) : nullptr;
}

const flutter::ValueList* NowPlayingArguments::listEntry(const ArgumentReader& map,
                                                         std::string_view key) {
  return map.has(key) ? map.list(key, errors_) : nullptr;
}

std::optional<bool> NowPlayingArguments::boolEntry(const ArgumentReader& map,
                                                   std::string_view key) {
  if (!map.has(key)) return std::nullopt;
  return map.boolean(key, errors_, "a boolean");
}

std::optional<double> NowPlayingArguments::numberEntry(const ArgumentReader& map,
                                                       std::string_view key) {
  if (!map.has(key)) return std::nullopt;
  auto number = map.number(key, errors_, "a finite number");
  if (!number || std::isfinite(*number)) return number;
  errors_.reject(key, "a finite number");
  return std::nullopt;
}

std::optional<int64_t> NowPlayingArguments::millisecondsEntry(const ArgumentReader& map,
                                                              std::string_view key) {
  if (!map.has(key)) return std::nullopt;
  if (auto integer = map.integer(key)) return integer;
  if (auto number = map.floatingPoint(key);
      number && std::isfinite(*number) && std::fabs(*number) < 0x1p63) {
    return static_cast<int64_t>(*number);
  }
  errors_.reject(key, "a number of milliseconds");
  return std::nullopt;
}

std::optional<std::string> NowPlayingArguments::stringEntry(const ArgumentReader& map,
                                                            std::string_view key) {
  if (!map.has(key)) return std::nullopt;
  return map.string(key, errors_);
}

void NowPlayingArguments::addAction(const Value& number, std::bitset<kActionCount>& actions) {
  auto action = number.asInteger();
  if (!action) {
    errors_.reject("action", "an integer");
    return;
  }
  if (*action >= 0 && *action < static_cast<int64_t>(kActionCount)) {
    actions.set(static_cast<size_t>(*action));
  }
}

}  // namespace now_playing
