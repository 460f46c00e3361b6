// Reads the arguments of a call on the database channel. Every read answers the value or the
// error to send back, so a handler can stop at the first bad argument.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/flutter/flutter_codec.h"

namespace litedb {

inline constexpr const char* kBadParamCode = "bad_param";

// A value read from the arguments, or the error answer for it.
template <typename T>
class Argument {
 public:
  Argument(T value) : value_(std::move(value)) {}
  Argument(FlutterError error) : error_(std::move(error)) {}

  explicit operator bool() const { return value_.has_value(); }
  const T& operator*() const { return *value_; }
  const T* operator->() const { return &*value_; }
  const FlutterError& error() const { return *error_; }

 private:
  std::optional<T> value_;
  std::optional<FlutterError> error_;
};

class LiteDbArguments {
 public:
  explicit LiteDbArguments(const flutter::Value& arguments) : arguments_(arguments) {}

  // The argument under `key`; null when absent or null.
  const flutter::Value* find(std::string_view key) const;

  Argument<std::string> string(std::string_view key) const;
  // A string that names a file: not empty of meaning to the C library, so no zero byte.
  Argument<std::string> path(std::string_view key) const;
  // A path that starts at the root, so nothing ever resolves against the working directory;
  // `memoryAllowed` also accepts ":memory:".
  Argument<std::string> absolutePath(std::string_view key, bool memoryAllowed = false) const;
  // Integers of either width; `bits32` also checks the signed 32-bit range.
  Argument<int64_t> integer(std::string_view key, bool bits32 = false) const;
  Argument<std::optional<int64_t>> optionalInteger(std::string_view key, bool bits32 = false) const;
  // Absent or null reads as false.
  Argument<bool> flag(std::string_view key) const;
  Argument<std::optional<bool>> optionalFlag(std::string_view key) const;

  // Checks everything a SQL call ("insert", "query", "update", "execute", "batch",
  // "queryCursorNext") reads, so that the work queue never meets a malformed argument.
  std::optional<FlutterError> checkSqlCall(const std::string& method) const;

  static FlutterError badParam(std::string message) {
    return FlutterError{kBadParamCode, std::move(message), nullptr};
  }

 private:
  std::optional<FlutterError> checkStatement(const flutter::ValueMap& entry,
                                             const std::string& where) const;

  const flutter::Value& arguments_;
};

}  // namespace litedb
