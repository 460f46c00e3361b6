// An HTTP cookie, described by its property dictionary.
#pragma once

#include "platform/webkit/ns_object.h"

namespace foundation {

class NSHTTPCookie : public NSObject {
 public:
  explicit NSHTTPCookie(AnyValue::Dictionary properties) : properties_(std::move(properties)) {}

  const AnyValue::Dictionary& properties() const { return properties_; }

 private:
  AnyValue::Dictionary properties_;
};

}  // namespace foundation
