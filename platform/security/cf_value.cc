#include "platform/security/cf_value.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/foundation/ns_date.h"
#include "platform/security/sec_access_control.h"

CFAbsoluteTime CFAbsoluteTimeGetCurrent() { return NSDate().timeIntervalSinceReferenceDate(); }

CFDictionary::CFDictionary(std::initializer_list<Entry> entries) : entries_(entries) {}

void CFDictionary::set(const std::string& key, CFValue value) {
  entries_.insert_or_assign(key, std::move(value));
}

bool CFDictionary::erase(const std::string& key) { return entries_.erase(key) > 0; }

const CFValue* CFDictionary::find(const std::string& key) const {
  auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second;
}

bool operator==(const CFDictionary& a, const CFDictionary& b) { return a.entries_ == b.entries_; }

std::shared_ptr<const SecAccessControl> CFValue::asAccessControl() const {
  auto* value = getIf<std::shared_ptr<const SecAccessControl>>();
  return value != nullptr ? *value : nullptr;
}

std::shared_ptr<const SecKey> CFValue::asKey() const {
  auto* value = getIf<std::shared_ptr<const SecKey>>();
  return value != nullptr ? *value : nullptr;
}

std::shared_ptr<LAContext> CFValue::asContext() const {
  auto* value = getIf<std::shared_ptr<LAContext>>();
  return value != nullptr ? *value : nullptr;
}

std::optional<bool> CFValue::boolValue() const {
  if (auto* value = getIf<bool>()) return *value;
  if (auto* value = getIf<int64_t>()) return *value != 0;
  if (auto* value = getIf<double>()) return *value != 0;
  return std::nullopt;
}

std::optional<int64_t> CFValue::integerValue() const {
  if (auto* value = getIf<int64_t>()) return *value;
  if (auto* value = getIf<bool>()) return *value ? 1 : 0;
  if (auto* value = getIf<double>()) {
    // Only values that an int64 holds exactly.
    if (std::isfinite(*value) && std::trunc(*value) == *value && *value >= -9.2e18 &&
        *value <= 9.2e18) {
      return static_cast<int64_t>(*value);
    }
  }
  return std::nullopt;
}

bool operator==(const CFValue& a, const CFValue& b) {
  auto* first = a.getIf<std::shared_ptr<const SecAccessControl>>();
  auto* second = b.getIf<std::shared_ptr<const SecAccessControl>>();
  if (first != nullptr && second != nullptr) {
    if (*first == nullptr || *second == nullptr) return *first == *second;
    return **first == **second;
  }
  return a.storage_ == b.storage_;
}

namespace {

void appendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void appendDate(std::string& out, const CFDate& date) {
  auto unix_time = static_cast<time_t>(std::floor(date.absoluteTime + NSTimeIntervalSince1970));
  std::tm parts{};
  gmtime_r(&unix_time, &parts);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &parts);
  out += text;
}

void appendDescription(std::string& out, const CFValue& value) {
  const auto& storage = value.storage();
  if (value.isNull()) {
    out += "<null>";
  } else if (auto* flag = std::get_if<bool>(&storage)) {
    out += *flag ? "true" : "false";
  } else if (auto* integer = std::get_if<int64_t>(&storage)) {
    out += std::to_string(*integer);
  } else if (auto* real = std::get_if<double>(&storage)) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", *real);
    out += text;
  } else if (auto* text = std::get_if<std::string>(&storage)) {
    appendQuoted(out, *text);
  } else if (auto* data = std::get_if<CFBytes>(&storage)) {
    out += '<';
    char digits[3];
    for (uint8_t byte : *data) {
      std::snprintf(digits, sizeof digits, "%02x", byte);
      out += digits;
    }
    out += '>';
  } else if (auto* date = std::get_if<CFDate>(&storage)) {
    appendDate(out, *date);
  } else if (auto* array = std::get_if<CFArray>(&storage)) {
    out += '[';
    for (size_t i = 0; i < array->size(); ++i) {
      if (i > 0) out += ", ";
      appendDescription(out, (*array)[i]);
    }
    out += ']';
  } else if (auto* dictionary = std::get_if<CFDictionary>(&storage)) {
    out += '{';
    bool first = true;
    for (const auto& [key, entry] : *dictionary) {
      if (!first) out += ", ";
      first = false;
      appendQuoted(out, key);
      out += ": ";
      appendDescription(out, entry);
    }
    out += '}';
  } else if (auto access_control = value.asAccessControl()) {
    char flags[24];
    std::snprintf(flags, sizeof flags, "0x%llx",
                  static_cast<unsigned long long>(access_control->flags()));
    out +=
        "<SecAccessControl protection: " + access_control->protection() + ", flags: " + flags + ">";
  } else if (value.is<std::shared_ptr<const SecKey>>()) {
    out += "<SecKey>";
  } else {
    out += "<LAContext>";
  }
}

}  // namespace

std::string CFCopyDescription(const CFValue& value) {
  std::string out;
  appendDescription(out, value);
  return out;
}
