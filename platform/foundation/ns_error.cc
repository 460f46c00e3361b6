#include "platform/foundation/ns_error.h"

std::shared_ptr<NSError> NSError::errorWithDomain(std::string domain, long code,
                                                  AnyValue::Dictionary userInfo) {
  auto error = makeObject<NSError>(std::move(domain), code);
  if (const AnyValue* description = findValue(userInfo, NSLocalizedDescriptionKey)) {
    if (const auto* text = description->getIf<std::string>()) error->localizedDescription = *text;
  }
  error->user_info_ = std::move(userInfo);
  return error;
}

std::string NSError::description() const {
  return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription +
         "\"";
}

bool operator==(const NSError& a, const NSError& b) {
  return a.domain == b.domain && a.code == b.code &&
         a.localizedDescription == b.localizedDescription &&
         a.localizedFailureReason == b.localizedFailureReason &&
         a.underlyingError == b.underlyingError && a.user_info_ == b.user_info_;
}

namespace {

// The undefined-behaviour sanitizer checks an object's dynamic type the first time it meets the
// type, through a pipe; in a process that has run out of descriptors that check reports a false
// fault. Errors are made exactly then, so the first check is made at start.
[[maybe_unused]] const bool kDynamicTypeChecked = [] {
  NSError error("", 0);
  NSError copy = error;
  copy = error;
  return copy == error;
}();

}  // namespace
