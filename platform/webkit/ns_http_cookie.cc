#include "platform/webkit/ns_http_cookie.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/foundation/ns_url.h"
#include "platform/webkit/internal/cookie_date.h"

namespace {

const std::string* nonEmptyString(const AnyValue::Dictionary& properties, const std::string& key) {
  const AnyValue* value = findValue(properties, key);
  const auto* text = value != nullptr ? value->getIf<std::string>() : nullptr;
  return text != nullptr && !text->empty() ? text : nullptr;
}

// The host of the origin URL, given as text or as a URL object.
std::optional<std::string> originHost(const AnyValue::Dictionary& properties) {
  const AnyValue* origin = findValue(properties, NSHTTPCookieOriginURL);
  if (origin == nullptr) return std::nullopt;
  std::string text;
  if (const auto* string = origin->getIf<std::string>()) {
    text = *string;
  } else if (const auto* object = origin->getIf<std::shared_ptr<NSObject>>()) {
    const auto* url = dynamic_cast<const NSURL*>(object->get());
    if (url == nullptr) return std::nullopt;
    text = url->absoluteString();
  } else {
    return std::nullopt;
  }
  auto parsed = ::NSURL::URLWithString(text);
  if (!parsed || !parsed->host() || parsed->host()->empty()) return std::nullopt;
  return *parsed->host();
}

// Max-Age in whole seconds: an optional minus and digits, as servers send it, or an integer.
// Values past what a date can hold are held at a century.
std::optional<double> maximumAge(const AnyValue::Dictionary& properties) {
  constexpr int64_t kLongest = int64_t{100} * 365 * 24 * 3600;
  const AnyValue* value = findValue(properties, NSHTTPCookieMaximumAge);
  if (value == nullptr) return std::nullopt;
  int64_t seconds = 0;
  if (const auto* integer = value->getIf<int64_t>()) {
    seconds = *integer;
  } else if (const auto* text = value->getIf<std::string>()) {
    const char* first = text->data();
    const char* last = first + text->size();
    if (first == last || (*first != '-' && (*first < '0' || *first > '9'))) return std::nullopt;
    auto [end, error] = std::from_chars(first, last, seconds);
    if (end != last) return std::nullopt;
    if (error == std::errc::result_out_of_range) {
      seconds = *first == '-' ? std::numeric_limits<int64_t>::min() : kLongest;
    } else if (error != std::errc()) {
      return std::nullopt;
    }
  } else {
    return std::nullopt;
  }
  return static_cast<double>(std::clamp(seconds, -kLongest, kLongest));
}

std::optional<NSDate> expiryOf(const AnyValue::Dictionary& properties) {
  if (auto seconds = maximumAge(properties)) {
    return NSDate::dateWithTimeIntervalSinceReferenceDate(
        NSDate::date().timeIntervalSinceReferenceDate() + *seconds);
  }
  const AnyValue* expires = findValue(properties, NSHTTPCookieExpires);
  const auto* text = expires != nullptr ? expires->getIf<std::string>() : nullptr;
  if (text == nullptr) return std::nullopt;
  return webkit::parseCookieDate(*text);
}

}  // namespace

NSHTTPCookie::NSHTTPCookie(AnyValue::Dictionary properties)
    : properties_(std::move(properties)), expires_date_(expiryOf(properties_)) {}

std::shared_ptr<NSHTTPCookie> NSHTTPCookie::cookieWithProperties(AnyValue::Dictionary properties) {
  if (nonEmptyString(properties, NSHTTPCookieName) == nullptr) return nullptr;
  const AnyValue* value = findValue(properties, NSHTTPCookieValue);
  if (value == nullptr || value->getIf<std::string>() == nullptr) return nullptr;
  if (nonEmptyString(properties, NSHTTPCookieDomain) == nullptr) {
    auto host = originHost(properties);
    if (!host) return nullptr;
    std::erase_if(properties, [](const auto& entry) { return entry.first == NSHTTPCookieDomain; });
    properties.emplace_back(NSHTTPCookieDomain, *host);
  }
  if (nonEmptyString(properties, NSHTTPCookiePath) == nullptr) {
    std::erase_if(properties, [](const auto& entry) { return entry.first == NSHTTPCookiePath; });
    properties.emplace_back(NSHTTPCookiePath, "/");
  }
  return makeObject<NSHTTPCookie>(std::move(properties));
}

std::string NSHTTPCookie::stringProperty(const std::string& key) const {
  const AnyValue* value = findValue(properties_, key);
  const auto* text = value != nullptr ? value->getIf<std::string>() : nullptr;
  return text != nullptr ? *text : std::string();
}

