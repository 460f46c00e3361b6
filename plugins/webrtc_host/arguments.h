// Reading a method call's arguments. Every value from the channel is untrusted: a missing key, a
// null and a value of the wrong type all read as "absent", and the accessors answer what the
// Dart side's nil would give (empty, zero, false) so each branch behaves as for nil.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/flutter/flutter.h"

namespace webrtc_host {

class Arguments {
 public:
  // Arguments that are not a map read as an empty map.
  explicit Arguments(const flutter::Value& arguments);

  // Null when the key is missing or holds null.
  const flutter::Value* value(std::string_view key) const;
  bool has(std::string_view key) const { return value(key) != nullptr; }

  // Empty unless the value is a string.
  std::string string(std::string_view key) const;
  std::optional<std::string> optionalString(std::string_view key) const;
  const flutter::ValueMap* map(std::string_view key) const;
  const flutter::ValueList* list(std::string_view key) const;
  // The strings of a list; other elements are dropped.
  std::vector<std::string> stringList(std::string_view key) const;
  // Number coercions as the platform's number objects answer them; false or 0 when absent.
  bool boolValue(std::string_view key) const;
  int32_t intValue(std::string_view key) const;
  double doubleValue(std::string_view key) const;
  // Present and a number (booleans included).
  bool isNumber(std::string_view key) const;

 private:
  const flutter::ValueMap* map_;
};

// The error answer of a peer-connection branch: code "<method>Failed", no details.
FlutterError failedError(const std::string& method, const std::string& message);
// An error answer that is a code alone: no message, no details.
FlutterError codeOnly(const std::string& code);

// The value, or null where there is none.
template <typename T>
flutter::Value valueOrNull(const std::optional<T>& value) {
  return value ? flutter::Value(*value) : flutter::Value();
}

// The text a format placeholder shows for a value that may be missing.
std::string textOrNull(const std::optional<std::string>& text);

// The strings of a list value; other elements (and a non-list) give nothing.
std::vector<std::string> stringsOf(const flutter::Value* list);

}  // namespace webrtc_host
