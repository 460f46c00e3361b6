// An error: a domain, a code within it and user information.
#pragma once

#include <cstdint>
#include <string>

#include "platform/webkit/ns_object.h"

namespace foundation {

class NSError : public NSObject {
 public:
  NSError(std::string domain, int64_t code, AnyValue::Dictionary userInfo = {})
      : domain_(std::move(domain)), code_(code), user_info_(std::move(userInfo)) {}

  const std::string& domain() const { return domain_; }
  int64_t code() const { return code_; }
  const AnyValue::Dictionary& userInfo() const { return user_info_; }

 private:
  std::string domain_;
  int64_t code_;
  AnyValue::Dictionary user_info_;
};

}  // namespace foundation
