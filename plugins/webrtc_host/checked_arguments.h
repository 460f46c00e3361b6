// Reading arguments that must be present and of the right type (frame cryptors, key providers,
// data packet cryptors, data channels). A missing, null or wrongly typed argument reads as an
// error answer made of the method's error code and "Invalid <name>", ready to send.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/flutter/flutter.h"
#include "plugins/webrtc_host/arguments.h"

namespace webrtc_host {

// A value read from the arguments, or the error answer that replaces it.
template <typename T>
class Checked {
 public:
  Checked(T value) : state_(std::move(value)) {}
  Checked(FlutterError error) : state_(std::move(error)) {}

  bool ok() const { return std::holds_alternative<T>(state_); }
  const T& operator*() const { return std::get<T>(state_); }
  const T* operator->() const { return &std::get<T>(state_); }
  const FlutterError& error() const { return std::get<FlutterError>(state_); }

 private:
  std::variant<T, FlutterError> state_;
};

class CheckedArguments {
 public:
  CheckedArguments(const flutter::Value& arguments, std::string errorCode);

  Checked<std::string> string(std::string_view key) const;
  // An integer within the 32-bit range.
  Checked<int32_t> int32(std::string_view key) const;
  // An integer from 0 to 2^32 - 1.
  Checked<uint32_t> uint32(std::string_view key) const;
  // A boolean, or an integer read as the platform's numbers read (non-zero is true).
  Checked<bool> boolean(std::string_view key) const;
  // The bytes of typed data of any element type.
  Checked<std::vector<uint8_t>> bytes(std::string_view key) const;
  Checked<const flutter::ValueMap*> map(std::string_view key) const;

  // "Invalid <key>" under the method's code.
  FlutterError invalid(std::string_view key) const;
  FlutterError error(std::string message) const;

 private:
  Arguments arguments_;
  std::string error_code_;
};

// The bytes of a typed-data value; nullopt for any other value.
std::optional<std::vector<uint8_t>> typedDataBytes(const flutter::Value& value);

}  // namespace webrtc_host
