#include "plugins/window_control/window_arguments.h"

#include <cmath>

namespace window_control {

WindowArguments::WindowArguments(const flutter::Value& arguments) : map_(arguments.asMap()) {}

const flutter::Value* WindowArguments::find(std::string_view key) const {
  if (map_ == nullptr) return nullptr;
  const flutter::Value* value = map_->find(key);
  return value != nullptr && !value->isNull() ? value : nullptr;
}

bool WindowArguments::has(std::string_view key) const { return find(key) != nullptr; }

std::optional<bool> WindowArguments::boolean(std::string_view key) const {
  const flutter::Value* value = find(key);
  if (value != nullptr && value->is<bool>()) return value->get<bool>();
  fail(key, "a Boolean");
  return std::nullopt;
}

bool WindowArguments::isTrue(std::string_view key) const {
  const flutter::Value* value = find(key);
  return value != nullptr && value->is<bool>() && value->get<bool>();
}

std::optional<double> WindowArguments::number(std::string_view key) const {
  const flutter::Value* value = find(key);
  if (value != nullptr) {
    if (auto integer = value->asInteger()) return static_cast<double>(*integer);
    if (value->is<double>()) return value->get<double>();
  }
  fail(key, "a number");
  return std::nullopt;
}

std::optional<double> WindowArguments::finiteNumber(std::string_view key) const {
  auto value = number(key);
  if (value && !std::isfinite(*value)) {
    fail(key, "a finite number");
    return std::nullopt;
  }
  return value;
}

std::optional<int64_t> WindowArguments::integer(std::string_view key) const {
  const flutter::Value* value = find(key);
  if (value != nullptr) {
    if (auto integer = value->asInteger()) return integer;
  }
  fail(key, "an integer");
  return std::nullopt;
}

std::optional<std::string> WindowArguments::string(std::string_view key) const {
  const flutter::Value* value = find(key);
  if (value != nullptr && value->asString() != nullptr) return *value->asString();
  fail(key, "a string");
  return std::nullopt;
}

void WindowArguments::reject(std::string_view key, std::string_view requirement) const {
  fail(key, requirement);
}

void WindowArguments::fail(std::string_view key, std::string_view requirement) const {
  if (error_) return;
  error_ = FlutterError{kInvalidArgumentsCode,
                        "Argument '" + std::string(key) + "' must be " + std::string(requirement),
                        flutter::Value()};
}

FlutterError WindowArguments::error() const {
  return error_.value_or(
      FlutterError{kInvalidArgumentsCode, "Invalid arguments", flutter::Value()});
}

}  // namespace window_control
