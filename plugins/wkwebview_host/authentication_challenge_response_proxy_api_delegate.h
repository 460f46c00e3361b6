// The fields of an authentication challenge response: its disposition (a stored value outside
// the platform's four is `unknown`) and its credential.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_authentication_challenge_response.h"

namespace wkwebview_host {

class AuthenticationChallengeResponseProxyAPIDelegate final
    : public PigeonApiDelegateAuthenticationChallengeResponse {
 public:
  UrlSessionAuthChallengeDisposition disposition(
      PigeonApiAuthenticationChallengeResponse& api,
      const AuthenticationChallengeResponse& pigeonInstance) override;
  std::shared_ptr<foundation::NSURLCredential> credential(
      PigeonApiAuthenticationChallengeResponse& api,
      const AuthenticationChallengeResponse& pigeonInstance) override;
};

}  // namespace wkwebview_host
