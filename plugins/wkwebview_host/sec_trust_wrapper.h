// Holds a trust object of the Security framework so that it can be named by the Dart side.
#pragma once

#include <memory>

#include "platform/webkit/ns_object.h"

class SecTrust;

namespace wkwebview_host {

class SecTrustWrapper final : public foundation::NSObject {
 public:
  explicit SecTrustWrapper(std::shared_ptr<SecTrust> value) : value_(std::move(value)) {}

  const std::shared_ptr<SecTrust>& value() const { return value_; }

 private:
  const std::shared_ptr<SecTrust> value_;
};

}  // namespace wkwebview_host
