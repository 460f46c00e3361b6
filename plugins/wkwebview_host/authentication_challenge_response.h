// The answer to an authentication challenge: how to dispose of it, and with which credential.
#pragma once

#include <memory>

#include "platform/foundation/ns_url_authentication_challenge.h"
#include "platform/foundation/ns_url_credential.h"

namespace wkwebview_host {

class AuthenticationChallengeResponse final : public NSObject {
 public:
  AuthenticationChallengeResponse(NSURLSessionAuthChallengeDisposition disposition,
                                  std::shared_ptr<NSURLCredential> credential)
      : disposition_(disposition), credential_(std::move(credential)) {}

  NSURLSessionAuthChallengeDisposition disposition() const { return disposition_; }
  const std::shared_ptr<NSURLCredential>& credential() const { return credential_; }

 private:
  const NSURLSessionAuthChallengeDisposition disposition_;
  const std::shared_ptr<NSURLCredential> credential_;
};

}  // namespace wkwebview_host
