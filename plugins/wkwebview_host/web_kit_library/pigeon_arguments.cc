#include "plugins/wkwebview_host/web_kit_library/pigeon_arguments.h"

#include <cmath>

namespace wkwebview_host {

PigeonArguments::PigeonArguments(std::string method, const flutter::Value& message)
    : method_(std::move(method)), arguments_(message.asList()) {}

const flutter::Value& PigeonArguments::value(size_t index) const {
  static const flutter::Value missing;
  return index < size() ? (*arguments_)[index] : missing;
}

int64_t PigeonArguments::identifier(size_t index) const {
  auto integer = value(index).asInteger();
  if (!integer) fail(index, "an integer identifier");
  return *integer;
}

int64_t PigeonArguments::integer(size_t index) const {
  auto integer = value(index).asInteger();
  if (!integer) fail(index, "an integer");
  return *integer;
}

bool PigeonArguments::boolean(size_t index) const {
  const auto* flag = value(index).getIf<bool>();
  if (flag == nullptr) fail(index, "a boolean");
  return *flag;
}

double PigeonArguments::number(size_t index) const {
  const flutter::Value& argument = value(index);
  if (const auto* real = argument.getIf<double>()) return *real;
  if (auto integer = argument.asInteger()) return static_cast<double>(*integer);
  fail(index, "a number");
}

std::string PigeonArguments::string(size_t index) const {
  const auto* text = value(index).asString();
  if (text == nullptr) fail(index, "a string");
  return *text;
}

std::optional<std::string> PigeonArguments::optionalString(size_t index) const {
  if (value(index).isNull()) return std::nullopt;
  return string(index);
}

double PigeonArguments::finiteNumber(size_t index) const {
  double real = number(index);
  if (!std::isfinite(real)) fail(index, "a finite number");
  return real;
}

std::optional<std::vector<uint8_t>> PigeonArguments::optionalBytes(size_t index) const {
  const flutter::Value& argument = value(index);
  if (argument.isNull()) return std::nullopt;
  const auto* bytes = argument.getIf<std::vector<uint8_t>>();
  if (bytes == nullptr) fail(index, "typed byte data or null");
  return *bytes;
}

std::optional<std::map<std::string, std::string>> PigeonArguments::optionalStringMap(
    size_t index) const {
  static constexpr const char* kExpected = "a map of strings to strings or null";
  const flutter::Value& argument = value(index);
  if (argument.isNull()) return std::nullopt;
  const auto* map = argument.asMap();
  if (map == nullptr) fail(index, kExpected);
  std::map<std::string, std::string> fields;
  for (const auto& [key, entry] : *map) {
    if (key.asString() == nullptr || entry.asString() == nullptr) fail(index, kExpected);
    fields[*key.asString()] = *entry.asString();
  }
  return fields;
}

void PigeonArguments::fail(size_t index, const std::string& expected) const {
  throw PigeonError(
      kInvalidArgumentCode,
      method_ + " expects " + expected + " as argument " + std::to_string(index) + ".",
      flutter::Value());
}

}  // namespace wkwebview_host
