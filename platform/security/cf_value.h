// CoreFoundation property values as the Security functions take and answer them: null,
// booleans, integers, doubles, strings, data, dates, arrays, string-keyed dictionaries, and
// references to access-control, key and authentication-context objects.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

class SecAccessControl;
class SecKey;
class LAContext;

// The bytes of a data object.
using CFBytes = std::vector<uint8_t>;
// Seconds since 2001-01-01 00:00:00 UTC.
using CFAbsoluteTime = double;

struct CFDate {
  CFAbsoluteTime absoluteTime = 0;
  friend bool operator==(const CFDate&, const CFDate&) = default;
};

CFAbsoluteTime CFAbsoluteTimeGetCurrent();

class CFValue;
using CFArray = std::vector<CFValue>;

// A dictionary keyed by strings (the Security constants), in key order.
class CFDictionary {
 public:
  using Entry = std::pair<const std::string, CFValue>;

  CFDictionary() = default;
  CFDictionary(std::initializer_list<Entry> entries);

  // Adds the entry or replaces the value of an existing key.
  void set(const std::string& key, CFValue value);
  bool erase(const std::string& key);
  const CFValue* find(const std::string& key) const;
  bool contains(const std::string& key) const { return find(key) != nullptr; }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  friend bool operator==(const CFDictionary& a, const CFDictionary& b);

 private:
  std::map<std::string, CFValue> entries_;
};

class CFValue {
 public:
  using Storage = std::variant<std::monostate, bool, int64_t, double, std::string, CFBytes, CFDate,
                               CFArray, CFDictionary, std::shared_ptr<const SecAccessControl>,
                               std::shared_ptr<const SecKey>, std::shared_ptr<LAContext>>;

  CFValue() = default;
  CFValue(bool value) : storage_(value) {}
  CFValue(int32_t value) : storage_(int64_t{value}) {}
  CFValue(int64_t value) : storage_(value) {}
  CFValue(double value) : storage_(value) {}
  CFValue(std::string value) : storage_(std::move(value)) {}
  CFValue(const char* value) : storage_(std::string(value)) {}
  CFValue(CFBytes value) : storage_(std::move(value)) {}
  CFValue(CFDate value) : storage_(value) {}
  CFValue(CFArray value) : storage_(std::move(value)) {}
  CFValue(CFDictionary value) : storage_(std::move(value)) {}
  CFValue(std::shared_ptr<const SecAccessControl> value) : storage_(std::move(value)) {}
  CFValue(std::shared_ptr<const SecKey> value) : storage_(std::move(value)) {}
  CFValue(std::shared_ptr<LAContext> value) : storage_(std::move(value)) {}
  // Other integer types must be converted explicitly.
  template <typename T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, int32_t> &&
           !std::is_same_v<T, int64_t>) CFValue(T)
  = delete;

  const Storage& storage() const { return storage_; }
  bool isNull() const { return std::holds_alternative<std::monostate>(storage_); }
  template <typename T>
  bool is() const {
    return std::holds_alternative<T>(storage_);
  }
  template <typename T>
  const T* getIf() const {
    return std::get_if<T>(&storage_);
  }

  const std::string* asString() const { return getIf<std::string>(); }
  const CFBytes* asData() const { return getIf<CFBytes>(); }
  const CFArray* asArray() const { return getIf<CFArray>(); }
  const CFDictionary* asDictionary() const { return getIf<CFDictionary>(); }
  const CFDate* asDate() const { return getIf<CFDate>(); }
  std::shared_ptr<const SecAccessControl> asAccessControl() const;
  std::shared_ptr<const SecKey> asKey() const;
  std::shared_ptr<LAContext> asContext() const;
  // Booleans and numbers read as a boolean (non-zero is true), as a number object answers.
  std::optional<bool> boolValue() const;
  // Integers, booleans and integral doubles read as an integer.
  std::optional<int64_t> integerValue() const;

  // Access controls compare by what they require; keys and contexts by identity.
  friend bool operator==(const CFValue& a, const CFValue& b);

 private:
  Storage storage_;
};

// A readable rendering: strings quoted, data in hexadecimal, dictionaries as {"key": value}.
std::string CFCopyDescription(const CFValue& value);
