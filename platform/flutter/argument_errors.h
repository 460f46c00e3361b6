// Collects the first error of a call's arguments, as the ready answer worded in a plug-in's own
// style. A handler reads what it needs, then answers `error()` when `ok()` is false.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/flutter/flutter_codec.h"

namespace flutter {

// How a plug-in words its argument errors.
struct ArgumentErrorStyle {
  std::string code;
  // The message for a key whose value is not what it must be, e.g. "\"page\" must be a string".
  std::string (*wrong)(std::string_view key, std::string_view requirement) = nullptr;
  // The message for a missing key; none: it says what the value must be, as `wrong` does.
  std::string (*missing)(std::string_view key) = nullptr;
  // The message for a required read from arguments that are not a map; empty: they read as an
  // empty map.
  std::string notAMap;
};

// Words: "<key in double quotes> must be <requirement>".
std::string quotedKeyMustBe(std::string_view key, std::string_view requirement);

class ArgumentErrors {
 public:
  explicit ArgumentErrors(ArgumentErrorStyle style);

  // Each keeps its error unless one is kept already: the first problem is the one answered.
  void reject(std::string_view key, std::string_view requirement);
  void missing(std::string_view key, std::string_view requirement);
  void fail(std::string message);
  // Keeps the style's message for arguments that are not a map.
  void notAMap();

  // Whether the style words arguments that are not a map.
  bool refusesNonMap() const { return !style_.notAMap.empty(); }
  bool ok() const { return !first_; }
  const std::optional<FlutterError>& first() const { return first_; }
  // The first error kept, or a general one if none was.
  FlutterError error() const;

 private:
  ArgumentErrorStyle style_;
  std::optional<FlutterError> first_;
};

}  // namespace flutter
