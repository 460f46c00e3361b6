// Holds a trust object of the Security framework so that it can be named by the Dart side.
#pragma once

#include <memory>

#include "platform/foundation/ns_object.h"

class SecTrust;

namespace wkwebview_host {

class SecTrustWrapper final : public NSObject {
 public:
  explicit SecTrustWrapper(std::shared_ptr<SecTrust> value) : value_(std::move(value)) {}

  const std::shared_ptr<SecTrust>& value() const { return value_; }

 private:
  const std::shared_ptr<SecTrust> value_;
};

}  // namespace wkwebview_host
