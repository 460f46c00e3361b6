// Reading a call's arguments over flutter::Value. The lenient readers take a value of another type
// than expected as absent. ArgumentReader answers each value, or nullopt after keeping a ready error
// answer for the first key that was missing or of the wrong type, worded in the plug-in's own style.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/flutter/flutter_codec.h"
#include "platform/flutter/value.h"

namespace flutter {

// The arguments as a map; anything else reads as an empty map.
const ValueMap& mapOrEmpty(const Value& arguments);

std::optional<std::string> stringAt(const ValueMap& map, std::string_view key);
std::optional<bool> booleanAt(const ValueMap& map, std::string_view key);
std::optional<double> doubleAt(const ValueMap& map, std::string_view key);
// A list with any element that is not a string reads as absent.
std::optional<std::vector<std::string>> stringsAt(const ValueMap& map, std::string_view key);

// The raw bytes of typed data of any element type; nullopt for any other value.
std::optional<std::span<const uint8_t>> typedDataBytes(const Value& value);

// How a plug-in words its argument errors.
struct ArgumentErrorStyle {
  std::string code;
  // How a key is named at the head of a message, e.g. "\"page\"" or "Argument 'page'".
  std::string (*nameKey)(std::string_view key);
  // The message for arguments that are not a map; empty: they read as an empty map.
  std::string notAMap;
  // Whether a key holding null is absent; else null is a value of the wrong type.
  bool nullIsAbsent = false;
  // Whether a missing key says so; else it says what the value must be.
  bool missingSaysMissing = false;
};

class ArgumentReader {
 public:
  // `arguments` must outlive the reader.
  ArgumentReader(const Value& arguments, ArgumentErrorStyle style);

  // Lenient reads, which never record an error.
  bool has(std::string_view key) const;
  // Whether the key holds the Boolean true.
  bool isTrue(std::string_view key) const;
  std::optional<std::string> optionalString(std::string_view key) const;

  // Required reads. Once an error is kept, every later one answers nullopt.
  std::optional<std::string> string(std::string_view key) const;
  std::optional<bool> boolean(std::string_view key) const;
  std::optional<int64_t> integer(std::string_view key) const;
  // A double only.
  std::optional<double> floatingPoint(std::string_view key) const;
  // An integer or a double, as a double; NaN and infinities included.
  std::optional<double> number(std::string_view key) const;
  std::optional<double> finiteNumber(std::string_view key) const;
  std::optional<std::span<const uint8_t>> bytes(std::string_view key) const;
  // The arguments themselves as a string; else `message` is kept.
  std::optional<std::string> wholeString(std::string_view message) const;

  // Keeps an error for a value that has the right type but cannot be used.
  void reject(std::string_view key, std::string_view requirement) const;

  bool ok() const { return !error_; }
  // The first error kept, or a general one if none was.
  FlutterError error() const;

 private:
  const Value* find(std::string_view key) const;
  // The value to check against `requirement`, or null once an error is kept.
  const Value* required(std::string_view key, std::string_view requirement) const;
  void fail(std::string message) const;

  const Value& arguments_;
  ArgumentErrorStyle style_;
  mutable std::optional<FlutterError> error_;
};

}  // namespace flutter
