// Reads the argument map of a call on "window_control". A call whose arguments are not a map reads
// as an empty map. Each reader answers the value, or nullopt after recording a ready error answer
// ("INVALID_ARGUMENTS") for the first key that was missing or of the wrong type.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/flutter/flutter.h"

namespace window_control {

inline constexpr const char* kInvalidArgumentsCode = "INVALID_ARGUMENTS";

class WindowArguments {
 public:
  // `arguments` must outlive the reader.
  explicit WindowArguments(const flutter::Value& arguments);

  // Whether the key holds a value other than null.
  bool has(std::string_view key) const;
  std::optional<bool> boolean(std::string_view key) const;
  // Whether the key holds the Boolean true; anything else, absence included, reads as false.
  bool isTrue(std::string_view key) const;
  // An integer or a double, as a double; NaN and infinities included.
  std::optional<double> number(std::string_view key) const;
  // A number that is neither NaN nor infinite.
  std::optional<double> finiteNumber(std::string_view key) const;
  std::optional<int64_t> integer(std::string_view key) const;
  std::optional<std::string> string(std::string_view key) const;

  // Records an error for a value that has the right type but cannot be used.
  void reject(std::string_view key, std::string_view requirement) const;
  // The error recorded for the first bad key.
  FlutterError error() const;

 private:
  const flutter::Value* find(std::string_view key) const;
  void fail(std::string_view key, std::string_view requirement) const;

  const flutter::ValueMap* map_;
  mutable std::optional<FlutterError> error_;
};

}  // namespace window_control
