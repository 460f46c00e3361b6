// What a Foundation collection or an untyped property may hold: nil, the null object, a number
// (boolean, integer or double), a string, bytes, an array, a dictionary with string keys, or any
// other object. Error user information, script-message bodies and key-value change dictionaries
// are made of these.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class NSObject;

// The null object that stands for nil inside collections.
struct NSNull {
  friend bool operator==(NSNull, NSNull) { return true; }
};

class AnyValue {
 public:
  using Array = std::vector<AnyValue>;
  // Entries in insertion order; keys are unique.
  using Dictionary = std::vector<std::pair<std::string, AnyValue>>;
  using Bytes = std::vector<uint8_t>;
  using Storage = std::variant<std::monostate, NSNull, bool, int64_t, double, std::string, Bytes,
                               Array, Dictionary, std::shared_ptr<NSObject>>;

  AnyValue() = default;
  AnyValue(std::nullptr_t) {}
  AnyValue(NSNull value) : storage_(value) {}
  AnyValue(bool value) : storage_(value) {}
  AnyValue(int64_t value) : storage_(value) {}
  AnyValue(int32_t value) : storage_(int64_t{value}) {}
  AnyValue(double value) : storage_(value) {}
  AnyValue(std::string value) : storage_(std::move(value)) {}
  AnyValue(const char* value) : storage_(std::string(value)) {}
  AnyValue(Bytes value) : storage_(std::move(value)) {}
  AnyValue(Array value) : storage_(std::move(value)) {}
  AnyValue(Dictionary value) : storage_(std::move(value)) {}
  template <typename T>
  requires std::is_base_of_v<NSObject, T> AnyValue(std::shared_ptr<T> object) {
    if (object) storage_ = std::shared_ptr<NSObject>(std::move(object));
  }

  const Storage& storage() const { return storage_; }
  bool isNil() const { return std::holds_alternative<std::monostate>(storage_); }
  template <typename T>
  const T* getIf() const {
    return std::get_if<T>(&storage_);
  }
  template <typename T>
  T* getIf() {
    return std::get_if<T>(&storage_);
  }

  friend bool operator==(const AnyValue& a, const AnyValue& b) { return a.storage_ == b.storage_; }

 private:
  Storage storage_;
};

// The value of `key` in `dictionary`, or nullptr.
const AnyValue* findValue(const AnyValue::Dictionary& dictionary, const std::string& key);

