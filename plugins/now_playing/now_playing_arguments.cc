#include "plugins/now_playing/now_playing_arguments.h"

#include <cmath>

namespace now_playing {

using flutter::Value;

NowPlayingArguments::NowPlayingArguments(const Value& arguments) : arguments_(&arguments) {
  if (!arguments.isNull() && arguments.asMap() == nullptr) {
    error_ = FlutterError{kBadArgumentsCode, "The arguments must be a map", nullptr};
    arguments_ = nullptr;
  }
}

SkipIntervals NowPlayingArguments::intervals() {
  const Value* config = mapEntry(arguments_, "config");
  return SkipIntervals{millisecondsEntry(config, "fastForwardInterval"),
                       millisecondsEntry(config, "rewindInterval")};
}

PlaybackState NowPlayingArguments::playbackState() {
  const Value* state = mapEntry(arguments_, "state");
  PlaybackState read;
  if (const auto* controls = listEntry(state, "controls")) {
    for (const Value& control : *controls) {
      if (control.asMap() == nullptr) {
        fail("controls", "a list of maps");
        continue;
      }
      const Value* action = entry(&control, "action");
      if (action == nullptr) {
        fail("action", "an integer");
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
  const Value* item = mapEntry(arguments_, "mediaItem");
  if (item == nullptr) return std::nullopt;
  MediaItem read;
  read.title = stringEntry(item, "title");
  read.album = stringEntry(item, "album");
  read.artist = stringEntry(item, "artist");
  read.duration = numberEntry(item, "duration").value_or(0);
  read.isLive = boolEntry(item, "isLive");
  // Art is shown only for an item whose "artUri" is not null, from the file it was cached in.
  const Value* art_uri = item->find("artUri");
  auto art_file = stringEntry(mapEntry(item, "extras"), "artCacheFile");
  if (art_uri == nullptr || !art_uri->isNull()) read.artworkFile = std::move(art_file);
  return read;
}

const Value* NowPlayingArguments::entry(const Value* map, std::string_view key) {
  if (map == nullptr) return nullptr;
  const Value* value = map->find(key);
  return value == nullptr || value->isNull() ? nullptr : value;
}

const Value* NowPlayingArguments::mapEntry(const Value* map, std::string_view key) {
  const Value* value = entry(map, key);
  if (value == nullptr || value->asMap() != nullptr) return value;
  fail(key, "a map");
  return nullptr;
}

const flutter::ValueList* NowPlayingArguments::listEntry(const Value* map, std::string_view key) {
  const Value* value = entry(map, key);
  if (value == nullptr) return nullptr;
  if (value->asList() == nullptr) fail(key, "a list");
  return value->asList();
}

std::optional<bool> NowPlayingArguments::boolEntry(const Value* map, std::string_view key) {
  const Value* value = entry(map, key);
  if (value == nullptr) return std::nullopt;
  if (const bool* flag = value->getIf<bool>()) return *flag;
  fail(key, "a boolean");
  return std::nullopt;
}

std::optional<double> NowPlayingArguments::numberEntry(const Value* map, std::string_view key) {
  const Value* value = entry(map, key);
  if (value == nullptr) return std::nullopt;
  if (auto integer = value->asInteger()) return static_cast<double>(*integer);
  if (const double* number = value->getIf<double>(); number != nullptr && std::isfinite(*number)) {
    return *number;
  }
  fail(key, "a finite number");
  return std::nullopt;
}

std::optional<int64_t> NowPlayingArguments::millisecondsEntry(const Value* map,
                                                              std::string_view key) {
  const Value* value = entry(map, key);
  if (value == nullptr) return std::nullopt;
  if (auto integer = value->asInteger()) return integer;
  if (const double* number = value->getIf<double>();
      number != nullptr && std::isfinite(*number) && std::fabs(*number) < 0x1p63) {
    return static_cast<int64_t>(*number);
  }
  fail(key, "a number of milliseconds");
  return std::nullopt;
}

std::optional<std::string> NowPlayingArguments::stringEntry(const Value* map,
                                                            std::string_view key) {
  const Value* value = entry(map, key);
  if (value == nullptr) return std::nullopt;
  if (const std::string* text = value->asString()) return *text;
  fail(key, "a string");
  return std::nullopt;
}

void NowPlayingArguments::addAction(const Value& number, std::bitset<kActionCount>& actions) {
  auto action = number.asInteger();
  if (!action) {
    fail("action", "an integer");
    return;
  }
  if (*action >= 0 && *action < static_cast<int64_t>(kActionCount)) {
    actions.set(static_cast<size_t>(*action));
  }
}

void NowPlayingArguments::fail(std::string_view key, std::string_view expected) {
  if (error_) return;
  error_ = FlutterError{kBadArgumentsCode,
                        "\"" + std::string(key) + "\" must be " + std::string(expected), nullptr};
}

}  // namespace now_playing
