// The value model of the standard codec: what crosses every channel.
//
// Int32 and int64 stay distinct, as do a missing map key and an explicit null. Maps keep their
// entries in insertion order; keys may be any value. Plug-in codecs carry their own records and
// enumerations in the extension slot (`CustomValue`).
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {

class Value;

// A plug-in codec's own type (a record, an enumeration, an object reference).
class CustomValue {
 public:
  virtual ~CustomValue() = default;
  // A short name for diagnostics and type checks.
  virtual std::string typeName() const = 0;
  virtual bool equals(const CustomValue& other) const { return this == &other; }
  // Equal values must hash alike; records hash their fields.
  virtual uint64_t messageHash() const;
};

using ValueList = std::vector<Value>;

// An insertion-ordered map. Lookups are linear: channel maps are small.
class ValueMap {
 public:
  using Entry = std::pair<Value, Value>;

  ValueMap() = default;
  ValueMap(std::initializer_list<Entry> entries);

  // Replaces the value of an existing key, or appends the entry.
  void set(Value key, Value value);
  // Appends without looking for the key; for decoders and builders with known-unique keys.
  void append(Value key, Value value);
  // As append, with the value built in place from anything a Value is made or converted from.
  template <typename MakesValue>
  void appendBuilt(Value&& key, MakesValue&& value) {
    entries_.emplace_back(std::piecewise_construct, std::forward_as_tuple(std::move(key)),
                          std::forward_as_tuple(std::forward<MakesValue>(value)));
  }
  bool erase(const Value& key);

  const Value* find(const Value& key) const;
  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  bool contains(std::string_view key) const { return find(key) != nullptr; }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }
  void reserve(size_t count) { entries_.reserve(count); }

  friend bool operator==(const ValueMap& a, const ValueMap& b);

 private:
  std::vector<Entry> entries_;
};

class Value {
 public:
  using Storage =
      std::variant<std::monostate, bool, int32_t, int64_t, double, std::string,
                   std::vector<uint8_t>, std::vector<int32_t>, std::vector<int64_t>,
                   std::vector<float>, std::vector<double>, ValueList, ValueMap,
                   std::shared_ptr<const CustomValue>>;

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool value) : storage_(value) {}
  Value(int32_t value) : storage_(value) {}
  Value(int64_t value) : storage_(value) {}
  Value(double value) : storage_(value) {}
  Value(std::string value) : storage_(std::move(value)) {}
  Value(std::string_view value) : storage_(std::string(value)) {}
  Value(const char* value) : storage_(std::string(value)) {}
  Value(std::vector<uint8_t> value) : storage_(std::move(value)) {}
  Value(std::vector<int32_t> value) : storage_(std::move(value)) {}
  Value(std::vector<int64_t> value) : storage_(std::move(value)) {}
  Value(std::vector<float> value) : storage_(std::move(value)) {}
  Value(std::vector<double> value) : storage_(std::move(value)) {}
  Value(ValueList value) : storage_(std::move(value)) {}
  Value(ValueMap value) : storage_(std::move(value)) {}
  Value(std::shared_ptr<const CustomValue> value) : storage_(std::move(value)) {}
  template <typename T>
    requires std::is_base_of_v<CustomValue, T>
  Value(std::shared_ptr<T> value) : storage_(std::shared_ptr<const CustomValue>(std::move(value))) {}

  // Unsigned and other integer types must be converted explicitly, so that a size_t never
  // silently becomes the wrong wire type.
  template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, int32_t> &&
             !std::is_same_v<T, int64_t>)
  Value(T) = delete;

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
  template <typename T>
  T* getIf() {
    return std::get_if<T>(&storage_);
  }
  template <typename T>
  const T& get() const {
    return std::get<T>(storage_);
  }

  bool isInteger() const { return is<int32_t>() || is<int64_t>(); }
  bool isNumber() const { return isInteger() || is<double>() || is<bool>(); }
  // The integer of an int32 or int64, without conversion from other types.
  std::optional<int64_t> asInteger() const;
  const std::string* asString() const { return getIf<std::string>(); }
  const ValueList* asList() const { return getIf<ValueList>(); }
  const ValueMap* asMap() const { return getIf<ValueMap>(); }
  // The custom value if it is of type T.
  template <typename T>
  std::shared_ptr<const T> asCustom() const {
    auto* custom = getIf<std::shared_ptr<const CustomValue>>();
    return custom != nullptr ? std::dynamic_pointer_cast<const T>(*custom) : nullptr;
  }

  // Foundation-style coercions, as number and string objects answer them: numbers convert
  // between each other, strings are parsed leniently ("12abc" → 12, "yes" → true), anything
  // else answers zero, false or the empty string.
  bool boolValue() const;
  int64_t intValue() const;
  double doubleValue() const;
  std::string stringValue() const;

  // Map lookup of a string key; nullptr when this is not a map or the key is missing.
  const Value* find(std::string_view key) const;

  // A readable rendering for logs and test failures.
  std::string debugString() const;

  friend bool operator==(const Value& a, const Value& b);

 private:
  Storage storage_;
};

// A list built by moving its elements in, as listOf({a, b}): an initializer list would copy each
// of them. The elements are made in order, as a braced list's are.
template <size_t N>
ValueList listOf(Value (&&elements)[N]) {
  return ValueList(std::make_move_iterator(elements), std::make_move_iterator(elements + N));
}

}  // namespace flutter
