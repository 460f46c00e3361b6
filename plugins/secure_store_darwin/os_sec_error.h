// The secure-storage plug-in's error record (a keychain status and an optional message) and the
// value-or-error result of its keychain steps.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "platform/security/sec_base.h"

namespace secure_store_darwin {

struct OSSecError {
  OSStatus status = errSecParam;
  std::optional<std::string> message;
};

template <typename T>
class OSSecResult {
 public:
  OSSecResult(T value) : storage_(std::move(value)) {}
  OSSecResult(OSSecError error) : storage_(std::move(error)) {}

  bool ok() const { return std::holds_alternative<T>(storage_); }
  // Only when ok().
  const T& value() const { return std::get<T>(storage_); }
  T& value() { return std::get<T>(storage_); }
  // Only when !ok().
  const OSSecError& error() const { return std::get<OSSecError>(storage_); }

 private:
  std::variant<T, OSSecError> storage_;
};

}  // namespace secure_store_darwin
