#include "platform/flutter/argument_errors.h"

#include <utility>

namespace flutter {

std::string quotedKeyMustBe(std::string_view key, std::string_view requirement) {
  std::string message = "\"";
  message.append(key).append("\" must be ").append(requirement);
  return message;
}

ArgumentErrors::ArgumentErrors(ArgumentErrorStyle style) : style_(std::move(style)) {
  if (style_.wrong == nullptr) style_.wrong = &quotedKeyMustBe;
}

void ArgumentErrors::reject(std::string_view key, std::string_view requirement) {
  if (!first_) fail(style_.wrong(key, requirement));
}

void ArgumentErrors::missing(std::string_view key, std::string_view requirement) {
  if (first_) return;
  fail(style_.missing != nullptr ? style_.missing(key) : style_.wrong(key, requirement));
}

void ArgumentErrors::notAMap() {
  if (!first_) fail(style_.notAMap);
}

void ArgumentErrors::fail(std::string message) {
  if (!first_) first_ = FlutterError{style_.code, std::move(message), Value()};
}

FlutterError ArgumentErrors::error() const {
  return first_.value_or(FlutterError{style_.code, "Invalid arguments", Value()});
}

}  // namespace flutter
