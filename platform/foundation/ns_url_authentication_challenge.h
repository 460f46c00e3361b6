// A challenge from a server that wants credentials, and the ways of answering one.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/foundation/ns_url_protection_space.h"

enum NSURLSessionAuthChallengeDisposition : int64_t {
  NSURLSessionAuthChallengeUseCredential = 0,
  NSURLSessionAuthChallengePerformDefaultHandling = 1,
  NSURLSessionAuthChallengeCancelAuthenticationChallenge = 2,
  NSURLSessionAuthChallengeRejectProtectionSpace = 3,
};

class NSURLAuthenticationChallenge : public NSObject {
 public:
  explicit NSURLAuthenticationChallenge(std::shared_ptr<NSURLProtectionSpace> protectionSpace)
      : protection_space_(std::move(protectionSpace)) {}

  const std::shared_ptr<NSURLProtectionSpace>& protectionSpace() const { return protection_space_; }

 private:
  std::shared_ptr<NSURLProtectionSpace> protection_space_;
};

