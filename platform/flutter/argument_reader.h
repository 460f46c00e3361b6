// Reading a call's arguments over flutter::Value. Every read answers the value or nothing: the
// lenient reads take a missing key and a value of another type alike as absent; the required reads
// (those given an ArgumentErrors) also keep the error to answer, worded in the plug-in's style.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/flutter/argument_errors.h"
#include "platform/flutter/value.h"

namespace flutter {

// What a key that holds null reads as.
enum class NullEntry { kAbsent, kValue };

// The raw bytes of typed data of any element type; nullopt for any other value.
std::optional<std::span<const uint8_t>> typedDataBytes(const Value& value);

class ArgumentReader {
 public:
  // Arguments that are not a map read as an empty map. `arguments` must outlive the reader.
  explicit ArgumentReader(const Value& arguments, NullEntry null = NullEntry::kAbsent);
  // A map within the arguments; null reads as an empty map. `map` must outlive the reader.
  explicit ArgumentReader(const ValueMap* map, NullEntry null = NullEntry::kAbsent);

  bool isMap() const { return map_ != nullptr; }
  // Null when the key is missing, or holds null under NullEntry::kAbsent.
  const Value* find(std::string_view key) const;
  bool has(std::string_view key) const { return find(key) != nullptr; }

  // Lenient reads.
  std::optional<std::string> string(std::string_view key) const;
  std::optional<bool> boolean(std::string_view key) const;
  // Whether the key holds the Boolean true.
  bool isTrue(std::string_view key) const { return boolean(key).value_or(false); }
  std::optional<int64_t> integer(std::string_view key) const;
  std::optional<int32_t> int32(std::string_view key) const;
  std::optional<uint32_t> uint32(std::string_view key) const;
  // A double only.
  std::optional<double> floatingPoint(std::string_view key) const;
  // An integer or a double, as a double; NaN and infinities included.
  std::optional<double> number(std::string_view key) const;
  std::optional<std::span<const uint8_t>> bytes(std::string_view key) const;
  const ValueMap* map(std::string_view key) const;
  const ValueList* list(std::string_view key) const;
  // A list of strings only; one element of another type makes it absent.
  std::optional<std::vector<std::string>> strings(std::string_view key) const;
  // The string elements of a list, the others dropped; none for a value that is not a list.
  std::vector<std::string> stringElements(std::string_view key) const;
  // Whatever the key holds, coerced as the platform's number and string objects answer.
  std::optional<bool> boolValue(std::string_view key) const;
  std::optional<int64_t> intValue(std::string_view key) const;
  std::optional<double> doubleValue(std::string_view key) const;

  // Required reads: the value, or nullopt after keeping in `errors` that the key is missing,
  // or not `requirement`.
  std::optional<std::string> string(std::string_view key, ArgumentErrors& errors,
                                    std::string_view requirement = "a string") const;
  std::optional<bool> boolean(std::string_view key, ArgumentErrors& errors,
                              std::string_view requirement = "a Boolean") const;
  std::optional<int64_t> integer(std::string_view key, ArgumentErrors& errors,
                                 std::string_view requirement = "an integer") const;
  // An integer; outside the 32-bit range it is not `range`.
  std::optional<int32_t> int32(std::string_view key, ArgumentErrors& errors,
                               std::string_view range = "a 32-bit integer") const;
  std::optional<double> floatingPoint(std::string_view key, ArgumentErrors& errors,
                                      std::string_view requirement = "a double") const;
  std::optional<double> number(std::string_view key, ArgumentErrors& errors,
                               std::string_view requirement = "a number") const;
  // A number; NaN or an infinity is not `finite`.
  std::optional<double> finiteNumber(std::string_view key, ArgumentErrors& errors,
                                     std::string_view finite = "a finite number") const;
  std::optional<std::span<const uint8_t>> bytes(std::string_view key, ArgumentErrors& errors,
                                                std::string_view requirement = "typed data") const;
  const ValueMap* map(std::string_view key, ArgumentErrors& errors,
                      std::string_view requirement = "a map") const;
  const ValueList* list(std::string_view key, ArgumentErrors& errors,
                        std::string_view requirement = "a list") const;
  // The arguments themselves as a string; else `message` is kept.
  std::optional<std::string> wholeString(ArgumentErrors& errors, std::string_view message) const;

 private:
  // The value to check against `requirement`, or null after keeping the error.
  const Value* required(std::string_view key, ArgumentErrors& errors,
                        std::string_view requirement) const;

  const Value* whole_;
  const ValueMap* map_;
  NullEntry null_;
};

}  // namespace flutter
