#include "platform/flutter/value.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>

namespace flutter {

ValueMap::ValueMap(std::initializer_list<Entry> entries) {
  for (const auto& entry : entries) set(entry.first, entry.second);
}

void ValueMap::set(Value key, Value value) {
  for (auto& entry : entries_) {
    if (entry.first == key) {
      entry.second = std::move(value);
      return;
    }
  }
  entries_.emplace_back(std::move(key), std::move(value));
}

void ValueMap::append(Value key, Value value) {
  entries_.emplace_back(std::move(key), std::move(value));
}

bool ValueMap::erase(const Value& key) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->first == key) {
      entries_.erase(it);
      return true;
    }
  }
  return false;
}

// Later entries win, as they would when a decoded map is built entry by entry.
const Value* ValueMap::find(const Value& key) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->first == key) return &it->second;
  }
  return nullptr;
}

const Value* ValueMap::find(std::string_view key) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    const auto* text = it->first.asString();
    if (text != nullptr && *text == key) return &it->second;
  }
  return nullptr;
}

Value* ValueMap::find(std::string_view key) {
  return const_cast<Value*>(static_cast<const ValueMap&>(*this).find(key));
}

bool operator==(const ValueMap& a, const ValueMap& b) {
  if (a.size() != b.size()) return false;
  for (const auto& [key, value] : a) {
    const Value* other = b.find(key);
    if (other == nullptr || !(*other == value)) return false;
  }
  return true;
}

std::optional<int64_t> Value::asInteger() const {
  if (auto* v = getIf<int32_t>()) return *v;
  if (auto* v = getIf<int64_t>()) return *v;
  return std::nullopt;
}

namespace {

// Leading-number parsing as string objects do it: whitespace, sign, digits; junk after is ignored.
double parseLeadingDouble(const std::string& text) {
  const char* start = text.c_str();
  char* end = nullptr;
  double parsed = std::strtod(start, &end);
  return end == start ? 0.0 : parsed;
}

int64_t parseLeadingInteger(const std::string& text) {
  const char* start = text.c_str();
  char* end = nullptr;
  long long parsed = std::strtoll(start, &end, 10);
  return end == start ? 0 : static_cast<int64_t>(parsed);
}

int64_t clampToInt64(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2233720368547758e18) return INT64_MAX;
  if (value <= -9.2233720368547758e18) return INT64_MIN;
  return static_cast<int64_t>(value);
}

}  // namespace

bool Value::boolValue() const {
  if (auto* v = getIf<bool>()) return *v;
  if (auto integer = asInteger()) return *integer != 0;
  if (auto* v = getIf<double>()) return *v != 0.0;
  if (auto* text = asString()) {
    // Skips whitespace, then Y/y/T/t or a non-zero digit means true.
    size_t i = text->find_first_not_of(" \t\n\r");
    if (i == std::string::npos) return false;
    size_t j = i;
    if ((*text)[j] == '+' || (*text)[j] == '-') ++j;
    while (j < text->size() && (*text)[j] == '0') ++j;
    if (j < text->size() && (*text)[j] >= '1' && (*text)[j] <= '9') return true;
    char c = (*text)[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't';
  }
  return false;
}

int64_t Value::intValue() const {
  if (auto integer = asInteger()) return *integer;
  if (auto* v = getIf<bool>()) return *v ? 1 : 0;
  if (auto* v = getIf<double>()) return clampToInt64(*v);
  if (auto* text = asString()) return parseLeadingInteger(*text);
  return 0;
}

double Value::doubleValue() const {
  if (auto* v = getIf<double>()) return *v;
  if (auto integer = asInteger()) return static_cast<double>(*integer);
  if (auto* v = getIf<bool>()) return *v ? 1.0 : 0.0;
  if (auto* text = asString()) return parseLeadingDouble(*text);
  return 0.0;
}

std::string Value::stringValue() const {
  if (auto* text = asString()) return *text;
  if (auto* v = getIf<bool>()) return *v ? "1" : "0";
  if (auto integer = asInteger()) return std::to_string(*integer);
  if (auto* v = getIf<double>()) {
    std::ostringstream out;
    out.precision(17);
    out << *v;
    return out.str();
  }
  return "";
}

const Value* Value::find(std::string_view key) const {
  const auto* map = asMap();
  return map != nullptr ? map->find(key) : nullptr;
}

namespace {

template <typename T>
void renderNumbers(std::ostringstream& out, const std::vector<T>& values, const char* tag) {
  out << tag << "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out << ", ";
    if constexpr (std::is_same_v<T, uint8_t>) {
      out << static_cast<int>(values[i]);
    } else {
      out << values[i];
    }
  }
  out << "]";
}

void render(std::ostringstream& out, const Value& value) {
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out << "null";
        } else if constexpr (std::is_same_v<T, bool>) {
          out << (v ? "true" : "false");
        } else if constexpr (std::is_same_v<T, int32_t>) {
          out << v;
        } else if constexpr (std::is_same_v<T, int64_t>) {
          out << v << "L";
        } else if constexpr (std::is_same_v<T, double>) {
          out << v << (v == std::floor(v) && std::isfinite(v) ? ".0" : "");
        } else if constexpr (std::is_same_v<T, std::string>) {
          out << '"' << v << '"';
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          renderNumbers(out, v, "u8");
        } else if constexpr (std::is_same_v<T, std::vector<int32_t>>) {
          renderNumbers(out, v, "i32");
        } else if constexpr (std::is_same_v<T, std::vector<int64_t>>) {
          renderNumbers(out, v, "i64");
        } else if constexpr (std::is_same_v<T, std::vector<float>>) {
          renderNumbers(out, v, "f32");
        } else if constexpr (std::is_same_v<T, std::vector<double>>) {
          renderNumbers(out, v, "f64");
        } else if constexpr (std::is_same_v<T, ValueList>) {
          out << "[";
          for (size_t i = 0; i < v.size(); ++i) {
            if (i > 0) out << ", ";
            render(out, v[i]);
          }
          out << "]";
        } else if constexpr (std::is_same_v<T, ValueMap>) {
          out << "{";
          bool first = true;
          for (const auto& [key, item] : v) {
            if (!first) out << ", ";
            first = false;
            render(out, key);
            out << ": ";
            render(out, item);
          }
          out << "}";
        } else {
          out << "<" << (v ? v->typeName() : std::string("custom")) << ">";
        }
      },
      value.storage());
}

}  // namespace

std::string Value::debugString() const {
  std::ostringstream out;
  render(out, *this);
  return out.str();
}

uint64_t CustomValue::messageHash() const { return std::hash<std::string>()(typeName()); }

bool operator==(const Value& a, const Value& b) {
  if (a.storage().index() != b.storage().index()) return false;
  if (auto* custom = a.getIf<std::shared_ptr<const CustomValue>>()) {
    const auto& other = b.get<std::shared_ptr<const CustomValue>>();
    if (!*custom || !other) return *custom == other;
    return (*custom)->equals(*other);
  }
  return a.storage() == b.storage();
}

}  // namespace flutter
