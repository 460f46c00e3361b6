// Reads the arguments of a "pdf_pages" call. Each read answers the value, or nullopt after
// keeping the error to answer; the first problem found is the one reported.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/flutter/flutter_codec.h"
#include "platform/flutter/value.h"

namespace pdf_pages {

class PdfArguments {
 public:
  explicit PdfArguments(const flutter::Value& arguments) : arguments_(arguments) {}

  // The arguments themselves as a string (the document id of the size and close calls).
  std::optional<std::string> asString();

  // Required entries of a string-keyed map, each of exactly the type named.
  std::optional<std::string> string(std::string_view key);
  std::optional<int64_t> integer(std::string_view key);
  std::optional<double> floatingPoint(std::string_view key);
  // The raw bytes of any typed data.
  std::optional<std::span<const uint8_t>> bytes(std::string_view key);

  // An optional string: missing, or of another type, reads as none.
  std::optional<std::string> optionalString(std::string_view key) const;

  bool ok() const { return !error_; }
  // The answer for the first failed read.
  const FlutterError& error() const { return *error_; }

 private:
  const flutter::Value* entry(std::string_view key);
  void fail(std::string message);

  const flutter::Value& arguments_;
  std::optional<FlutterError> error_;
};

}  // namespace pdf_pages
