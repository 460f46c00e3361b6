#include "plugins/wkwebview_host/http_cookie_proxy_api_delegate.h"

#include <array>

#include "plugins/wkwebview_host/any_value_conversion.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {
namespace {

// Indexed by the raw value of the key, `comment` to `version`; `unknown` has no native key.
const std::array<const std::string*, 14> kNativeKeys = {
    &NSHTTPCookieComment,        &NSHTTPCookieCommentURL,
    &NSHTTPCookieDiscard,        &NSHTTPCookieDomain,
    &NSHTTPCookieExpires,        &NSHTTPCookieMaximumAge,
    &NSHTTPCookieName,           &NSHTTPCookieOriginURL,
    &NSHTTPCookiePath,           &NSHTTPCookiePort,
    &NSHTTPCookieSameSitePolicy, &NSHTTPCookieSecure,
    &NSHTTPCookieValue,          &NSHTTPCookieVersion,
};

template <typename T>
AnyValue numberArray(const std::vector<T>& numbers) {
  AnyValue::Array array;
  for (T number : numbers) {
    if constexpr (std::is_floating_point_v<T>) {
      array.emplace_back(static_cast<double>(number));
    } else {
      array.emplace_back(static_cast<int64_t>(number));
    }
  }
  return AnyValue(std::move(array));
}

// A message value as the platform holds it in a property dictionary.
AnyValue toAnyValue(const flutter::Value& value) {
  return std::visit(
      [](const auto& v) -> AnyValue {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return AnyValue(NSNull());
        } else if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, int64_t>) {
          return AnyValue(static_cast<int64_t>(v));
        } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, double> ||
                             std::is_same_v<T, std::string> ||
                             std::is_same_v<T, std::vector<uint8_t>>) {
          return AnyValue(v);
        } else if constexpr (std::is_same_v<T, std::vector<int32_t>> ||
                             std::is_same_v<T, std::vector<int64_t>> ||
                             std::is_same_v<T, std::vector<float>> ||
                             std::is_same_v<T, std::vector<double>>) {
          return numberArray(v);
        } else if constexpr (std::is_same_v<T, flutter::ValueList>) {
          AnyValue::Array array;
          for (const auto& element : v) array.push_back(toAnyValue(element));
          return AnyValue(std::move(array));
        } else if constexpr (std::is_same_v<T, flutter::ValueMap>) {
          AnyValue::Dictionary dictionary;
          for (const auto& [key, element] : v) {
            // Dictionaries of the platform are keyed by strings.
            if (const auto* name = key.asString())
              dictionary.emplace_back(*name, toAnyValue(element));
          }
          return AnyValue(std::move(dictionary));
        } else {
          if (auto object = objectFromValue<NSObject>(flutter::Value(v))) {
            return AnyValue(std::move(object));
          }
          if (auto enumeration = std::dynamic_pointer_cast<const EnumerationValue>(v)) {
            return AnyValue(enumeration->raw());
          }
          return AnyValue(NSNull());
        }
      },
      value.storage());
}

}  // namespace

std::shared_ptr<NSHTTPCookie> HTTPCookieProxyAPIDelegate::pigeonDefaultConstructor(
    PigeonApiHTTPCookie&, const Properties& properties) {
  AnyValue::Dictionary native;
  for (const auto& [key, value] : properties) {
    if (key == HttpCookiePropertyKey::unknown) {
      throw ProxyAPIRegistrar::createUnknownEnumError(key);
    }
    native.emplace_back(*kNativeKeys[static_cast<size_t>(key)], toAnyValue(value));
  }
  auto cookie = NSHTTPCookie::cookieWithProperties(native);
  if (!cookie) {
    throw ProxyAPIRegistrar::createConstructorNullError(
        "NSHTTPCookie",
        flutter::ValueMap{{flutter::Value("properties"), flutter::Value(toPigeonMap(native))}});
  }
  return cookie;
}

std::optional<PigeonApiDelegateHTTPCookie::Properties> HTTPCookieProxyAPIDelegate::getProperties(
    PigeonApiHTTPCookie&, const NSHTTPCookie& pigeonInstance) {
  Properties properties;
  for (const auto& [native_key, value] : pigeonInstance.properties()) {
    auto key = HttpCookiePropertyKey::unknown;
    for (size_t raw = 0; raw < kNativeKeys.size(); ++raw) {
      if (*kNativeKeys[raw] == native_key) {
        key = static_cast<HttpCookiePropertyKey>(raw);
        break;
      }
    }
    properties.emplace_back(key, toPigeonValue(value));
  }
  return properties;
}

}  // namespace wkwebview_host
