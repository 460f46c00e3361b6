#include "platform/webkit/ns_http_cookie.h"

#include "platform/foundation/ns_url.h"
#include "platform/webkit/ns_url.h"

namespace foundation {
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

}  // namespace

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

}  // namespace foundation
