// Errors of CryptoKit operations, and the value-or-error result they answer with.
#pragma once

#include <utility>
#include <variant>

enum class CryptoKitError {
  incorrectKeySize,
  incorrectParameterSize,
  authenticationFailure,
  underlyingCoreCryptoError,
};

template <typename T>
class CryptoKitResult {
 public:
  CryptoKitResult(T value) : storage_(std::move(value)) {}
  CryptoKitResult(CryptoKitError error) : storage_(error) {}

  bool ok() const { return std::holds_alternative<T>(storage_); }
  explicit operator bool() const { return ok(); }
  // Only when ok().
  const T& value() const& { return std::get<T>(storage_); }
  T&& value() && { return std::get<T>(std::move(storage_)); }
  // Only when !ok().
  CryptoKitError error() const { return std::get<CryptoKitError>(storage_); }

 private:
  std::variant<T, CryptoKitError> storage_;
};
