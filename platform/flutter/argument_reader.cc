#include "platform/flutter/argument_reader.h"

#include <cmath>
#include <limits>
#include <type_traits>
#include <variant>

namespace flutter {
namespace {

std::optional<std::string> stringOf(const Value& value) {
  if (const std::string* text = value.asString()) return *text;
  return std::nullopt;
}

std::optional<bool> booleanOf(const Value& value) {
  if (const bool* flag = value.getIf<bool>()) return *flag;
  return std::nullopt;
}

std::optional<double> doubleOf(const Value& value) {
  if (const double* number = value.getIf<double>()) return *number;
  return std::nullopt;
}

std::optional<double> numberOf(const Value& value) {
  if (auto integer = value.asInteger()) return static_cast<double>(*integer);
  return doubleOf(value);
}

template <typename Narrow>
std::optional<Narrow> narrowed(std::optional<int64_t> integer) {
  if (!integer || *integer < std::numeric_limits<Narrow>::min() ||
      *integer > std::numeric_limits<Narrow>::max()) {
    return std::nullopt;
  }
  return static_cast<Narrow>(*integer);
}

// The value read by `read`, or nullopt after keeping that it is not `requirement`.
template <typename Read>
auto checked(const Value* value, std::string_view key, ArgumentErrors& errors,
             std::string_view requirement, Read read) -> decltype(read(*value)) {
  if (value == nullptr) return std::nullopt;
  auto read_value = read(*value);
  if (!read_value) errors.reject(key, requirement);
  return read_value;
}

}  // namespace

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

ArgumentReader::ArgumentReader(const Value& arguments, NullEntry null)
    : whole_(&arguments), map_(arguments.asMap()), null_(null) {}

ArgumentReader::ArgumentReader(const ValueMap* map, NullEntry null)
    : whole_(nullptr), map_(map), null_(null) {}

const Value* ArgumentReader::find(std::string_view key) const {
  const Value* value = map_ != nullptr ? map_->find(key) : nullptr;
  if (value != nullptr && null_ == NullEntry::kAbsent && value->isNull()) return nullptr;
  return value;
}

std::optional<std::string> ArgumentReader::string(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? stringOf(*value) : std::nullopt;
}

std::optional<bool> ArgumentReader::boolean(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? booleanOf(*value) : std::nullopt;
}

std::optional<int64_t> ArgumentReader::integer(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? value->asInteger() : std::nullopt;
}

std::optional<int32_t> ArgumentReader::int32(std::string_view key) const {
  return narrowed<int32_t>(integer(key));
}

std::optional<uint32_t> ArgumentReader::uint32(std::string_view key) const {
  return narrowed<uint32_t>(integer(key));
}

std::optional<double> ArgumentReader::floatingPoint(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? doubleOf(*value) : std::nullopt;
}

std::optional<double> ArgumentReader::number(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? numberOf(*value) : std::nullopt;
}

std::optional<std::span<const uint8_t>> ArgumentReader::bytes(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? typedDataBytes(*value) : std::nullopt;
}

const ValueMap* ArgumentReader::map(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? value->asMap() : nullptr;
}

const ValueList* ArgumentReader::list(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? value->asList() : nullptr;
}

std::optional<std::vector<std::string>> ArgumentReader::strings(std::string_view key) const {
  const ValueList* elements = list(key);
  if (elements == nullptr) return std::nullopt;
  std::vector<std::string> texts;
  texts.reserve(elements->size());
  for (const Value& element : *elements) {
    if (element.asString() == nullptr) return std::nullopt;
    texts.push_back(*element.asString());
  }
  return texts;
}

std::vector<std::string> ArgumentReader::stringElements(std::string_view key) const {
  std::vector<std::string> texts;
  if (const ValueList* elements = list(key)) {
    for (const Value& element : *elements) {
      if (const std::string* text = element.asString()) texts.push_back(*text);
    }
  }
  return texts;
}

std::optional<bool> ArgumentReader::boolValue(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? std::optional<bool>(value->boolValue()) : std::nullopt;
}

std::optional<int64_t> ArgumentReader::intValue(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? std::optional<int64_t>(value->intValue()) : std::nullopt;
}

std::optional<double> ArgumentReader::doubleValue(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? std::optional<double>(value->doubleValue()) : std::nullopt;
}

const Value* ArgumentReader::required(std::string_view key, ArgumentErrors& errors,
                                      std::string_view requirement) const {
  if (map_ == nullptr && errors.refusesNonMap()) {
    errors.notAMap();
    return nullptr;
  }
  const Value* value = find(key);
  if (value == nullptr) errors.missing(key, requirement);
  return value;
}

std::optional<std::string> ArgumentReader::string(std::string_view key, ArgumentErrors& errors,
                                                  std::string_view requirement) const {
  return checked(required(key, errors, requirement), key, errors, requirement, stringOf);
}

std::optional<bool> ArgumentReader::boolean(std::string_view key, ArgumentErrors& errors,
                                            std::string_view requirement) const {
  return checked(required(key, errors, requirement), key, errors, requirement, booleanOf);
}

std::optional<int64_t> ArgumentReader::integer(std::string_view key, ArgumentErrors& errors,
                                               std::string_view requirement) const {
  return checked(required(key, errors, requirement), key, errors, requirement,
                 [](const Value& value) { return value.asInteger(); });
}

std::optional<int32_t> ArgumentReader::int32(std::string_view key, ArgumentErrors& errors,
                                             std::string_view range) const {
  auto value = integer(key, errors);
  if (!value) return std::nullopt;
  auto narrow = narrowed<int32_t>(value);
  if (!narrow) errors.reject(key, range);
  return narrow;
}

std::optional<double> ArgumentReader::floatingPoint(std::string_view key, ArgumentErrors& errors,
                                                    std::string_view requirement) const {
  return checked(required(key, errors, requirement), key, errors, requirement, doubleOf);
}

std::optional<double> ArgumentReader::number(std::string_view key, ArgumentErrors& errors,
                                             std::string_view requirement) const {
  return checked(required(key, errors, requirement), key, errors, requirement, numberOf);
}

std::optional<double> ArgumentReader::finiteNumber(std::string_view key, ArgumentErrors& errors,
                                                   std::string_view finite) const {
  auto value = number(key, errors);
  if (value && !std::isfinite(*value)) {
    errors.reject(key, finite);
    return std::nullopt;
  }
  return value;
}

std::optional<std::span<const uint8_t>> ArgumentReader::bytes(std::string_view key,
                                                              ArgumentErrors& errors,
                                                              std::string_view requirement) const {
  return checked(required(key, errors, requirement), key, errors, requirement, typedDataBytes);
}

const ValueMap* ArgumentReader::map(std::string_view key, ArgumentErrors& errors,
                                    std::string_view requirement) const {
  const Value* value = required(key, errors, requirement);
  if (value == nullptr) return nullptr;
  if (value->asMap() == nullptr) errors.reject(key, requirement);
  return value->asMap();
}

const ValueList* ArgumentReader::list(std::string_view key, ArgumentErrors& errors,
                                      std::string_view requirement) const {
  const Value* value = required(key, errors, requirement);
  if (value == nullptr) return nullptr;
  if (value->asList() == nullptr) errors.reject(key, requirement);
  return value->asList();
}

std::optional<std::string> ArgumentReader::wholeString(ArgumentErrors& errors,
                                                       std::string_view message) const {
  auto text = whole_ != nullptr ? stringOf(*whole_) : std::nullopt;
  if (!text) errors.fail(std::string(message));
  return text;
}

}  // namespace flutter
