// Reads the arguments of a call on the database channel: null is absent, and the first bad
// argument is kept as the "bad_param" answer, worded "Invalid argument '<key>': expected ...".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/flutter/argument_reader.h"
#include "platform/flutter/flutter_codec.h"

namespace litedb {

inline constexpr const char* kBadParamCode = "bad_param";

FlutterError badParam(std::string message);

class LiteDbArguments {
 public:
  // `arguments` must outlive the reader.
  explicit LiteDbArguments(const flutter::Value& arguments);

  // Each read answers the value, or nothing; after a bad argument, `error()` is the answer.
  // A string that names a file: not empty of meaning to the C library, so no zero byte.
  std::optional<std::string> path(std::string_view key);
  // A path that starts at the root, so nothing ever resolves against the working directory;
  // `memoryAllowed` also accepts ":memory:".
  std::optional<std::string> absolutePath(std::string_view key, bool memoryAllowed = false);
  // Absent reads as false.
  std::optional<bool> flag(std::string_view key);
  // Absent reads as nothing, as does a bad integer: tell them apart with `ok()`. `bits32` also
  // checks the signed 32-bit range.
  std::optional<int64_t> optionalInteger(std::string_view key, bool bits32 = false);

  // Checks everything a SQL call ("insert", "query", "update", "execute", "batch",
  // "queryCursorNext") reads, so that the work queue never meets a malformed argument.
  std::optional<FlutterError> checkSqlCall(const std::string& method);

  bool ok() const { return errors_.ok(); }
  FlutterError error() const { return errors_.error(); }

 private:
  void checkStatement(const flutter::ArgumentReader& entry, const std::string& where);
  void checkBatch();

  const flutter::ArgumentReader read_;
  flutter::ArgumentErrors errors_;
};

}  // namespace litedb
