#include "platform/flutter/argument_reader.h"

#include <cmath>
#include <type_traits>
#include <variant>

namespace flutter {

const ValueMap& mapOrEmpty(const Value& arguments) {
  static const ValueMap kEmpty;
  const ValueMap* map = arguments.asMap();
  return map != nullptr ? *map : kEmpty;
}

std::optional<std::string> stringAt(const ValueMap& map, std::string_view key) {
  const Value* value = map.find(key);
  if (value == nullptr || value->asString() == nullptr) return std::nullopt;
  return *value->asString();
}

std::optional<bool> booleanAt(const ValueMap& map, std::string_view key) {
  const Value* value = map.find(key);
  if (value == nullptr || !value->is<bool>()) return std::nullopt;
  return value->get<bool>();
}

std::optional<double> doubleAt(const ValueMap& map, std::string_view key) {
  const Value* value = map.find(key);
  if (value == nullptr || !value->is<double>()) return std::nullopt;
  return value->get<double>();
}

std::optional<std::vector<std::string>> stringsAt(const ValueMap& map, std::string_view key) {
  const Value* value = map.find(key);
  const ValueList* list = value != nullptr ? value->asList() : nullptr;
  if (list == nullptr) return std::nullopt;
  std::vector<std::string> strings;
  strings.reserve(list->size());
  for (const auto& element : *list) {
    if (element.asString() == nullptr) return std::nullopt;
    strings.push_back(*element.asString());
  }
  return strings;
}

std::optional<std::span<const uint8_t>> typedDataBytes(const Value& value) {
  return std::visit(
      [](const auto& stored) -> std::optional<std::span<const uint8_t>> {
        using Stored = std::decay_t<decltype(stored)>;
        if constexpr (std::is_same_v<Stored, std::vector<uint8_t>> ||
                      std::is_same_v<Stored, std::vector<int32_t>> ||
                      std::is_same_v<Stored, std::vector<int64_t>> ||
                      std::is_same_v<Stored, std::vector<float>> ||
                      std::is_same_v<Stored, std::vector<double>>) {
          return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(stored.data()),
                                          stored.size() * sizeof(typename Stored::value_type));
        } else {
          return std::nullopt;
        }
      },
      value.storage());
}

ArgumentReader::ArgumentReader(const Value& arguments, ArgumentErrorStyle style)
    : arguments_(arguments), style_(std::move(style)) {}

const Value* ArgumentReader::find(std::string_view key) const {
  const Value* value = mapOrEmpty(arguments_).find(key);
  if (value != nullptr && style_.nullIsAbsent && value->isNull()) return nullptr;
  return value;
}

bool ArgumentReader::has(std::string_view key) const { return find(key) != nullptr; }

bool ArgumentReader::isTrue(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr && value->is<bool>() && value->get<bool>();
}

std::optional<std::string> ArgumentReader::optionalString(std::string_view key) const {
  const Value* value = find(key);
  if (value == nullptr || value->asString() == nullptr) return std::nullopt;
  return *value->asString();
}

const Value* ArgumentReader::required(std::string_view key, std::string_view requirement) const {
  if (error_) return nullptr;
  if (!style_.notAMap.empty() && arguments_.asMap() == nullptr) {
    fail(style_.notAMap);
    return nullptr;
  }
  const Value* value = find(key);
  if (value != nullptr) return value;
  if (style_.missingSaysMissing) {
    fail(style_.nameKey(key) + " is missing");
  } else {
    reject(key, requirement);
  }
  return nullptr;
}

std::optional<std::string> ArgumentReader::string(std::string_view key) const {
  const Value* value = required(key, "a string");
  if (value == nullptr) return std::nullopt;
  if (const std::string* text = value->asString()) return *text;
  reject(key, "a string");
  return std::nullopt;
}

std::optional<bool> ArgumentReader::boolean(std::string_view key) const {
  const Value* value = required(key, "a Boolean");
  if (value == nullptr) return std::nullopt;
  if (value->is<bool>()) return value->get<bool>();
  reject(key, "a Boolean");
  return std::nullopt;
}

std::optional<int64_t> ArgumentReader::integer(std::string_view key) const {
  const Value* value = required(key, "an integer");
  if (value == nullptr) return std::nullopt;
  if (auto number = value->asInteger()) return number;
  reject(key, "an integer");
  return std::nullopt;
}

std::optional<double> ArgumentReader::floatingPoint(std::string_view key) const {
  const Value* value = required(key, "a double");
  if (value == nullptr) return std::nullopt;
  if (const double* number = value->getIf<double>()) return *number;
  reject(key, "a double");
  return std::nullopt;
}

std::optional<double> ArgumentReader::number(std::string_view key) const {
  const Value* value = required(key, "a number");
  if (value == nullptr) return std::nullopt;
  if (auto integer = value->asInteger()) return static_cast<double>(*integer);
  if (const double* number = value->getIf<double>()) return *number;
  reject(key, "a number");
  return std::nullopt;
}

std::optional<double> ArgumentReader::finiteNumber(std::string_view key) const {
  auto value = number(key);
  if (value && !std::isfinite(*value)) {
    reject(key, "a finite number");
    return std::nullopt;
  }
  return value;
}

std::optional<std::span<const uint8_t>> ArgumentReader::bytes(std::string_view key) const {
  const Value* value = required(key, "typed data");
  if (value == nullptr) return std::nullopt;
  if (auto bytes = typedDataBytes(*value)) return bytes;
  reject(key, "typed data");
  return std::nullopt;
}

std::optional<std::string> ArgumentReader::wholeString(std::string_view message) const {
  if (error_) return std::nullopt;
  if (const std::string* text = arguments_.asString()) return *text;
  fail(std::string(message));
  return std::nullopt;
}

void ArgumentReader::reject(std::string_view key, std::string_view requirement) const {
  fail(style_.nameKey(key) + " must be " + std::string(requirement));
}

void ArgumentReader::fail(std::string message) const {
  if (!error_) error_ = FlutterError{style_.code, std::move(message), Value()};
}

FlutterError ArgumentReader::error() const {
  return error_.value_or(FlutterError{style_.code, "Invalid arguments", Value()});
}

}  // namespace flutter
