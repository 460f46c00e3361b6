// The argument list of a host operation, read by position. Every reader either answers a value
// of the expected type or throws the PigeonError "invalid-argument" naming the operation and the
// position, which the operation's handler answers for it. It reads the message in place, so it
// is valid only while the handler runs: a handler that answers later keeps what it read.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/value.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_error.h"

namespace wkwebview_host {

class PigeonArguments {
 public:
  static constexpr const char* kInvalidArgumentCode = "invalid-argument";

  // `method` is "<API>.<operation>"; a message that is not a list holds no arguments.
  PigeonArguments(std::string method, const flutter::Value& message);
  PigeonArguments(const PigeonArguments&) = delete;
  PigeonArguments& operator=(const PigeonArguments&) = delete;

  size_t size() const { return arguments_ != nullptr ? arguments_->size() : 0; }
  // The argument as it came; null when it is missing.
  const flutter::Value& value(size_t index) const;

  // An identifier: an integer, 32-bit or 64-bit.
  int64_t identifier(size_t index) const;
  int64_t integer(size_t index) const;
  bool boolean(size_t index) const;
  double number(size_t index) const;
  std::string string(size_t index) const;
  // Null counts as absent.
  std::optional<std::string> optionalString(size_t index) const;
  double finiteNumber(size_t index) const;
  // Typed byte data; null counts as absent.
  std::optional<std::vector<uint8_t>> optionalBytes(size_t index) const;
  // A map of strings to strings; null counts as absent.
  std::optional<std::map<std::string, std::string>> optionalStringMap(size_t index) const;

  // A native object of type T (references arrive resolved by the codec).
  template <typename T>
  std::shared_ptr<T> instance(size_t index) const {
    auto object = objectFromValue<T>(value(index));
    if (!object) fail(index, "a live native object of the expected kind");
    return object;
  }
  template <typename T>
  std::shared_ptr<T> optionalInstance(size_t index) const {
    if (value(index).isNull()) return nullptr;
    return instance<T>(index);
  }

  template <typename E>
  E enumeration(size_t index) const {
    auto decoded = enumerationFromValue<E>(value(index));
    if (!decoded) fail(index, "a case of " + std::string(PigeonEnumeration<E>::name));
    return *decoded;
  }
  // A list whose every element is a case of E.
  template <typename E>
  std::vector<E> enumerations(size_t index) const {
    const auto* list = value(index).asList();
    if (list == nullptr) fail(index, "a list of " + std::string(PigeonEnumeration<E>::name));
    std::vector<E> cases;
    cases.reserve(list->size());
    for (const auto& element : *list) {
      auto decoded = enumerationFromValue<E>(element);
      if (!decoded) fail(index, "a list of " + std::string(PigeonEnumeration<E>::name));
      cases.push_back(*decoded);
    }
    return cases;
  }

  // Throws the "invalid-argument" error: argument `index` is not `expected`.
  [[noreturn]] void fail(size_t index, const std::string& expected) const;

 private:
  std::string method_;
  const flutter::ValueList* arguments_;
};

}  // namespace wkwebview_host
