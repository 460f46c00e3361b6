// Reads the Dart side's arguments. A missing key reads as 0, false or the empty string, as the
// Dart side relies on; an entry of the wrong type raises AudioPlayerException, which the player's
// handler answers with its generic error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/flutter/argument_reader.h"

namespace playlist_audio {

class AudioArguments {
 public:
  // Null arguments read as an empty map; anything else that is not a map raises.
  explicit AudioArguments(const flutter::Value& arguments);

  // nullptr when missing; null is a value.
  const flutter::Value* entry(std::string_view key) const { return read_.find(key); }
  int64_t integer(std::string_view key) const;
  // nullopt for the null value.
  std::optional<int64_t> integerOrNull(std::string_view key) const;
  // Within the 32-bit range, or raises.
  int32_t int32(std::string_view key) const;
  bool boolean(std::string_view key) const;
  double number(std::string_view key) const;
  // A number that is neither NaN nor infinite, or raises.
  double finiteNumber(std::string_view key) const;
  std::string string(std::string_view key) const;
  // Raises when missing or not a string.
  std::string requiredString(std::string_view key) const;
  const flutter::ValueList& list(std::string_view key) const;

 private:
  const flutter::ArgumentReader read_;
};

// Raises unless `configuration` (an "init" audioLoadConfiguration; nullptr when missing) is
// missing, null, or a map whose "darwinLoadControl" is missing, null or a map of entries of the
// types a load control takes.
void checkLoadConfiguration(const flutter::Value* configuration);

// A list of integers (a list value or an integer typed list); raises for anything else.
std::vector<int> readShuffleOrder(const flutter::Value* value);
// Whether `order` holds each of 0 .. count-1 exactly once.
bool isPermutation(const std::vector<int>& order, int count);

}  // namespace playlist_audio
