// Holds a certificate of the Security framework so that it can be named by the Dart side.
#pragma once

#include <memory>

#include "platform/foundation/ns_object.h"

class SecCertificate;

namespace wkwebview_host {

class SecCertificateWrapper final : public NSObject {
 public:
  explicit SecCertificateWrapper(std::shared_ptr<SecCertificate> value)
      : value_(std::move(value)) {}

  const std::shared_ptr<SecCertificate>& value() const { return value_; }

 private:
  const std::shared_ptr<SecCertificate> value_;
};

}  // namespace wkwebview_host
