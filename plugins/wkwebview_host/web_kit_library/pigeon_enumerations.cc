#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"

namespace wkwebview_host {
namespace {

template <typename E>
constexpr PigeonEnumerationInfo infoOf() {
  return {PigeonEnumeration<E>::tag, PigeonEnumeration<E>::name, PigeonEnumeration<E>::cases};
}

// In tag order, so that a tag indexes the table.
constexpr std::array kEnumerations = {
    infoOf<KeyValueObservingOptions>(),
    infoOf<KeyValueChange>(),
    infoOf<KeyValueChangeKey>(),
    infoOf<UserScriptInjectionTime>(),
    infoOf<AudiovisualMediaType>(),
    infoOf<WebsiteDataType>(),
    infoOf<NavigationActionPolicy>(),
    infoOf<NavigationResponsePolicy>(),
    infoOf<HttpCookiePropertyKey>(),
    infoOf<NavigationType>(),
    infoOf<PermissionDecision>(),
    infoOf<MediaCaptureType>(),
    infoOf<UrlSessionAuthChallengeDisposition>(),
    infoOf<UrlCredentialPersistence>(),
    infoOf<DartSecTrustResultType>(),
};
static_assert(kEnumerations.size() == kLastEnumerationTag - kFirstEnumerationTag + 1);
static_assert([] {
  for (size_t index = 0; index < kEnumerations.size(); ++index) {
    if (kEnumerations[index].tag != kFirstEnumerationTag + index) return false;
  }
  return true;
}());

}  // namespace

const PigeonEnumerationInfo* enumerationForTag(uint8_t tag) {
  if (tag < kFirstEnumerationTag || tag > kLastEnumerationTag) return nullptr;
  return &kEnumerations[tag - kFirstEnumerationTag];
}

std::string EnumerationValue::typeName() const {
  const auto* info = enumerationForTag(tag_);
  if (info == nullptr || raw_ < 0 || static_cast<uint64_t>(raw_) >= info->cases.size()) {
    return "enumeration " + std::to_string(tag_) + " value " + std::to_string(raw_);
  }
  return std::string(info->name) + "." + std::string(info->cases[static_cast<size_t>(raw_)]);
}

bool EnumerationValue::equals(const flutter::CustomValue& other) const {
  const auto* enumeration = dynamic_cast<const EnumerationValue*>(&other);
  return enumeration != nullptr && enumeration->tag_ == tag_ && enumeration->raw_ == raw_;
}

flutter::Value enumerationValue(uint8_t tag, int64_t raw) {
  const auto* info = enumerationForTag(tag);
  if (info == nullptr || raw < 0 || static_cast<uint64_t>(raw) >= info->cases.size()) {
    return flutter::Value();
  }
  return flutter::Value(std::make_shared<EnumerationValue>(tag, raw));
}

}  // namespace wkwebview_host
