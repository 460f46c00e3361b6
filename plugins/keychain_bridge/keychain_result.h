// The value of a keychain operation, or the error it failed with.
#pragma once

#include <utility>
#include <variant>

#include "plugins/keychain_bridge/keychain_error.h"

namespace keychain_bridge {

template <typename T>
class Result {
 public:
  Result(T value) : storage_(std::move(value)) {}
  Result(KeychainError error) : storage_(std::move(error)) {}
  Result(Status status) : storage_(KeychainError(status)) {}
  Result(Status::Code code) : storage_(KeychainError(code)) {}

  bool ok() const { return std::holds_alternative<T>(storage_); }
  // Only when ok().
  const T& value() const& { return std::get<T>(storage_); }
  T&& value() && { return std::get<T>(std::move(storage_)); }
  // Only when !ok().
  const KeychainError& error() const { return std::get<KeychainError>(storage_); }

 private:
  std::variant<T, KeychainError> storage_;
};

// An operation that gives nothing back.
template <>
class Result<void> {
 public:
  Result() = default;
  Result(KeychainError error) : error_(std::move(error)) {}
  Result(Status status) : error_(KeychainError(status)) {}
  Result(Status::Code code) : error_(KeychainError(code)) {}

  bool ok() const { return !error_.has_value(); }
  const KeychainError& error() const { return *error_; }

 private:
  std::optional<KeychainError> error_;
};

}  // namespace keychain_bridge
