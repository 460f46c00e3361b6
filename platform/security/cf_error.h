// Error objects of CoreFoundation: a domain, a code and a user-information dictionary.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/security/cf_value.h"

// The domain of errors whose code is an OSStatus.
inline const std::string kCFErrorDomainOSStatus = "NSOSStatusErrorDomain";
inline const std::string kCFErrorLocalizedDescriptionKey = "NSLocalizedDescription";

class CFError {
 public:
  CFError(std::string domain, int64_t code, CFDictionary userInfo)
      : domain_(std::move(domain)), code_(code), user_info_(std::move(userInfo)) {}

  const std::string& domain() const { return domain_; }
  int64_t code() const { return code_; }
  const CFDictionary& userInfo() const { return user_info_; }

 private:
  std::string domain_;
  int64_t code_;
  CFDictionary user_info_;
};

using CFErrorRef = std::shared_ptr<const CFError>;

CFErrorRef CFErrorCreate(const std::string& domain, int64_t code, CFDictionary userInfo);
std::string CFErrorGetDomain(const CFErrorRef& error);
int64_t CFErrorGetCode(const CFErrorRef& error);
// The localized description from the user information, or a generic sentence naming the domain
// and the code.
std::string CFErrorCopyDescription(const CFErrorRef& error);
