// The fifteen enumerations of the web-view APIs. On the wire each is its own type byte (129 to
// 143) followed by the case's raw value, its position from 0. A raw value outside the cases has
// no case: it decodes as null, never as `unknown`, which is an ordinary case.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/flutter/value.h"

namespace wkwebview_host {

enum class KeyValueObservingOptions : int64_t {
  newValue,
  oldValue,
  initialValue,
  priorNotification
};
enum class KeyValueChange : int64_t { setting, insertion, removal, replacement, unknown };
enum class KeyValueChangeKey : int64_t {
  indexes,
  kind,
  newValue,
  notificationIsPrior,
  oldValue,
  unknown
};
enum class UserScriptInjectionTime : int64_t { atDocumentStart, atDocumentEnd, unknown };
enum class AudiovisualMediaType : int64_t { none, audio, video, all };
enum class WebsiteDataType : int64_t {
  cookies,
  memoryCache,
  diskCache,
  offlineWebApplicationCache,
  localStorage,
  sessionStorage,
  webSQLDatabases,
  indexedDBDatabases
};
enum class NavigationActionPolicy : int64_t { allow, cancel, download };
enum class NavigationResponsePolicy : int64_t { allow, cancel, download };
enum class HttpCookiePropertyKey : int64_t {
  comment,
  commentUrl,
  discard,
  domain,
  expires,
  maximumAge,
  name,
  originUrl,
  path,
  port,
  sameSitePolicy,
  secure,
  value,
  version,
  unknown
};
enum class NavigationType : int64_t {
  linkActivated,
  formSubmitted,
  backForward,
  reload,
  formResubmitted,
  other,
  unknown
};
enum class PermissionDecision : int64_t { deny, grant, prompt };
enum class MediaCaptureType : int64_t { camera, cameraAndMicrophone, microphone, unknown };
enum class UrlSessionAuthChallengeDisposition : int64_t {
  useCredential,
  performDefaultHandling,
  cancelAuthenticationChallenge,
  rejectProtectionSpace,
  unknown
};
enum class UrlCredentialPersistence : int64_t { none, forSession, permanent, synchronizable };
enum class DartSecTrustResultType : int64_t {
  unspecified,
  proceed,
  deny,
  recoverableTrustFailure,
  fatalTrustFailure,
  otherError,
  invalid,
  confirm,
  unknown
};

// One enumeration as the codec sees it.
struct PigeonEnumerationInfo {
  uint8_t tag;
  std::string_view name;
  std::span<const std::string_view> cases;
};

// Each enumeration's type byte and case names, in raw-value order.
template <typename E>
struct PigeonEnumeration;

#define WKWEBVIEW_HOST_ENUMERATION(Type, Tag, ...)                              \
  template <>                                                                   \
  struct PigeonEnumeration<Type> {                                              \
    static constexpr uint8_t tag = Tag;                                         \
    static constexpr std::string_view name = #Type;                             \
    static constexpr auto cases = std::to_array<std::string_view>(__VA_ARGS__); \
  };
WKWEBVIEW_HOST_ENUMERATION(KeyValueObservingOptions, 129,
                           {"newValue", "oldValue", "initialValue", "priorNotification"})
WKWEBVIEW_HOST_ENUMERATION(KeyValueChange, 130,
                           {"setting", "insertion", "removal", "replacement", "unknown"})
WKWEBVIEW_HOST_ENUMERATION(KeyValueChangeKey, 131,
                           {"indexes", "kind", "newValue", "notificationIsPrior", "oldValue",
                            "unknown"})
WKWEBVIEW_HOST_ENUMERATION(UserScriptInjectionTime, 132,
                           {"atDocumentStart", "atDocumentEnd", "unknown"})
WKWEBVIEW_HOST_ENUMERATION(AudiovisualMediaType, 133, {"none", "audio", "video", "all"})
WKWEBVIEW_HOST_ENUMERATION(WebsiteDataType, 134,
                           {"cookies", "memoryCache", "diskCache", "offlineWebApplicationCache",
                            "localStorage", "sessionStorage", "webSQLDatabases",
                            "indexedDBDatabases"})
WKWEBVIEW_HOST_ENUMERATION(NavigationActionPolicy, 135, {"allow", "cancel", "download"})
WKWEBVIEW_HOST_ENUMERATION(NavigationResponsePolicy, 136, {"allow", "cancel", "download"})
WKWEBVIEW_HOST_ENUMERATION(HttpCookiePropertyKey, 137,
                           {"comment", "commentUrl", "discard", "domain", "expires", "maximumAge",
                            "name", "originUrl", "path", "port", "sameSitePolicy", "secure",
                            "value", "version", "unknown"})
WKWEBVIEW_HOST_ENUMERATION(NavigationType, 138,
                           {"linkActivated", "formSubmitted", "backForward", "reload",
                            "formResubmitted", "other", "unknown"})
WKWEBVIEW_HOST_ENUMERATION(PermissionDecision, 139, {"deny", "grant", "prompt"})
WKWEBVIEW_HOST_ENUMERATION(MediaCaptureType, 140,
                           {"camera", "cameraAndMicrophone", "microphone", "unknown"})
WKWEBVIEW_HOST_ENUMERATION(UrlSessionAuthChallengeDisposition, 141,
                           {"useCredential", "performDefaultHandling",
                            "cancelAuthenticationChallenge", "rejectProtectionSpace", "unknown"})
WKWEBVIEW_HOST_ENUMERATION(UrlCredentialPersistence, 142,
                           {"none", "forSession", "permanent", "synchronizable"})
WKWEBVIEW_HOST_ENUMERATION(DartSecTrustResultType, 143,
                           {"unspecified", "proceed", "deny", "recoverableTrustFailure",
                            "fatalTrustFailure", "otherError", "invalid", "confirm", "unknown"})
#undef WKWEBVIEW_HOST_ENUMERATION

inline constexpr uint8_t kFirstEnumerationTag = 129;
inline constexpr uint8_t kLastEnumerationTag = 143;

// The enumeration of a type byte from 129 to 143; nullptr for any other byte.
const PigeonEnumerationInfo* enumerationForTag(uint8_t tag);

// A case of an enumeration inside a message.
class EnumerationValue final : public flutter::CustomValue {
 public:
  // `raw` must be a case of the enumeration with this tag.
  EnumerationValue(uint8_t tag, int64_t raw) : tag_(tag), raw_(raw) {}

  uint8_t tag() const { return tag_; }
  int64_t raw() const { return raw_; }
  // "<Enumeration>.<case>".
  std::string typeName() const override;
  bool equals(const flutter::CustomValue& other) const override;

 private:
  uint8_t tag_;
  int64_t raw_;
};

// The value for a case; null when the case is outside its enumeration.
flutter::Value enumerationValue(uint8_t tag, int64_t raw);

template <typename E>
flutter::Value enumerationValue(E value) {
  return enumerationValue(PigeonEnumeration<E>::tag, static_cast<int64_t>(value));
}

// The case that `value` carries when it is an E.
template <typename E>
std::optional<E> enumerationFromValue(const flutter::Value& value) {
  auto carried = value.asCustom<EnumerationValue>();
  if (!carried || carried->tag() != PigeonEnumeration<E>::tag) return std::nullopt;
  return static_cast<E>(carried->raw());
}

// The case's name, as the unknown-enumeration error spells it.
template <typename E>
std::string_view caseName(E value) {
  auto raw = static_cast<uint64_t>(value);
  const auto& cases = PigeonEnumeration<E>::cases;
  return raw < cases.size() ? cases[raw] : std::string_view("(out of range)");
}

}  // namespace wkwebview_host
