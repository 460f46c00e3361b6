// The answer to an authentication challenge: how to dispose of it, and with which credential.
#pragma once

#include <memory>

#include "platform/webkit/ns_url_authentication_challenge.h"
#include "platform/webkit/ns_url_credential.h"

namespace wkwebview_host {

class AuthenticationChallengeResponse final : public foundation::NSObject {
 public:
  AuthenticationChallengeResponse(foundation::NSURLSessionAuthChallengeDisposition disposition,
                                  std::shared_ptr<foundation::NSURLCredential> credential)
      : disposition_(disposition), credential_(std::move(credential)) {}

  foundation::NSURLSessionAuthChallengeDisposition disposition() const { return disposition_; }
  const std::shared_ptr<foundation::NSURLCredential>& credential() const { return credential_; }

 private:
  const foundation::NSURLSessionAuthChallengeDisposition disposition_;
  const std::shared_ptr<foundation::NSURLCredential> credential_;
};

}  // namespace wkwebview_host
