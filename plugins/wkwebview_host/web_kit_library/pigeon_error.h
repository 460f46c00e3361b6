// The error of the web-view APIs: a code, an optional message and optional details. Host
// operations answer it as the three-element error list; calls to the Dart side complete with it.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <variant>

#include "platform/flutter/flutter_codec.h"

namespace wkwebview_host {

class PigeonError : public std::exception {
 public:
  PigeonError(std::string code, std::optional<std::string> message, flutter::Value details)
      : code_(std::move(code)), message_(std::move(message)), details_(std::move(details)) {}

  // The error of a call to the Dart side made while such calls are ignored.
  static PigeonError ignoreCallsError();
  // The error of a callback about an object the instance manager does not hold; `method` is
  // "<API>.<operation>".
  static PigeonError missingInstanceError(const std::string& method);
  // The error of a Dart reply holding null where a value is required.
  static PigeonError nullError();
  // The error of a call to the Dart side that got no usable reply.
  static PigeonError connectionError(const std::string& channelName);

  const std::string& code() const { return code_; }
  const std::optional<std::string>& message() const { return message_; }
  const flutter::Value& details() const { return details_; }

  // The type's own name, as the failure log prints an error.
  const char* what() const noexcept override { return "wkwebview_host.PigeonError"; }

  FlutterError toFlutterError() const { return FlutterError{code_, message_, details_}; }
  friend bool operator==(const PigeonError& a, const PigeonError& b) {
    return a.code_ == b.code_ && a.message_ == b.message_ && a.details_ == b.details_;
  }

 private:
  std::string code_;
  std::optional<std::string> message_;
  flutter::Value details_;
};

// The outcome of a call to the Dart side: its decoded result (null for operations without one),
// or the error.
using PigeonResult = std::variant<flutter::Value, PigeonError>;

}  // namespace wkwebview_host
